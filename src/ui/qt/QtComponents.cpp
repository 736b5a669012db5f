#include "ui/qt/QtComponents.h"

#include "ui/qt/QtText.h"
#include "ui/qt/TableModel.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>

#include <algorithm>

namespace {

TQtApplicationComponent* application = nullptr;
constexpr const char* kFormMark = "tarnwickForm";
constexpr const char* kNotTranslated = "tarnwickNotTranslated";

// The tab widget whose page this widget is, or nullptr.
QTabWidget* PageOf(QWidget* widget) {
    QWidget* stack = widget->parentWidget();
    return stack && qobject_cast<QStackedWidget*>(stack) ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
}

// One named object of a window, with the texts a translator rewrites.
class TQtObjectComponent : public TComponent {
public:
    TQtObjectComponent(QObject& object, TComponent& owner) : object_(&object), owner_(owner) {}

    std::string Name() const override { return object_ ? object_->objectName().toStdString() : std::string(); }
    TComponent* Owner() const override { return &owner_; }
    std::vector<TComponent*> Components() const override { return {}; }

    bool HasCaption() const override { return Text().has_value(); }
    std::string Caption() const override { return FromQt(Text().value_or(QString())); }
    void SetCaption(const std::string& caption) override { SetText(ToQt(caption)); }

    int ColumnCount() const override { return static_cast<int>(Columns().size()); }
    std::string ColumnText(int i) const override { return FromQt(Columns().value(i)); }
    void SetColumnText(int i, const std::string& text) override;
    int ItemCount() const override;
    std::string ItemText(int i) const override;
    void SetItemText(int i, const std::string& text) override;

private:
    std::optional<QString> Text() const;
    void SetText(const QString& text);
    QStringList Columns() const;

    QPointer<QObject> object_;
    TComponent& owner_;
};

std::optional<QString> TQtObjectComponent::Text() const {
    QObject* o = object_.data();
    if (!o) return std::nullopt;
    if (auto* action = qobject_cast<QAction*>(o)) {
        if (action->isSeparator()) return QStringLiteral("-");
        return action->text();
    }
    if (auto* menu = qobject_cast<QMenu*>(o)) return menu->title();
    if (auto* button = qobject_cast<QAbstractButton*>(o)) return button->text();
    if (auto* label = qobject_cast<QLabel*>(o)) return label->text();
    if (auto* group = qobject_cast<QGroupBox*>(o)) return group->title();
    if (auto* widget = qobject_cast<QWidget*>(o))
        if (QTabWidget* tabs = PageOf(widget)) return tabs->tabText(tabs->indexOf(widget));
    return std::nullopt;
}

void TQtObjectComponent::SetText(const QString& text) {
    QObject* o = object_.data();
    if (auto* action = qobject_cast<QAction*>(o))
        action->setText(text);
    else if (auto* menu = qobject_cast<QMenu*>(o))
        menu->setTitle(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(o))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(o))
        label->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(o))
        group->setTitle(text);
    else if (auto* widget = qobject_cast<QWidget*>(o))
        if (QTabWidget* tabs = PageOf(widget)) tabs->setTabText(tabs->indexOf(widget), text);
}

// List views keep their column captions in the property "columns"; trees and
// tables in their header.
QStringList TQtObjectComponent::Columns() const {
    QObject* o = object_.data();
    if (!o) return {};
    if (auto* tree = qobject_cast<QTreeWidget*>(o)) {
        QStringList titles;
        for (int i = 0; i < tree->columnCount(); ++i) titles << tree->headerItem()->text(i);
        return titles;
    }
    // A grid over a table, or a tree over a model of its own: the model's titles.
    auto* grid = qobject_cast<QTableView*>(o);
    auto* tree = qobject_cast<QTreeView*>(o);
    if ((grid && dynamic_cast<TTableModel*>(grid->model())) || (tree && tree->model())) {
        const QAbstractItemModel& model = grid ? *grid->model() : *tree->model();
        QStringList titles;
        for (int i = 0; i < model.columnCount(); ++i)
            titles << model.headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
        return titles;
    }
    return o->property("columns").toStringList();
}

void TQtObjectComponent::SetColumnText(int i, const std::string& text) {
    QObject* o = object_.data();
    if (auto* tree = qobject_cast<QTreeWidget*>(o)) {
        tree->headerItem()->setText(i, ToQt(text));
        return;
    }
    if (auto* grid = qobject_cast<QTableView*>(o)) {
        if (auto* model = dynamic_cast<TTableModel*>(grid->model())) model->SetTitle(i, ToQt(text));
        return;
    }
    if (auto* tree = qobject_cast<QTreeView*>(o); tree && tree->model()) {
        tree->model()->setHeaderData(i, Qt::Horizontal, ToQt(text));
        return;
    }
    QStringList titles = Columns();
    if (i < 0 || i >= titles.size()) return;
    titles[i] = ToQt(text);
    o->setProperty("columns", titles);
}

int TQtObjectComponent::ItemCount() const {
    if (auto* list = qobject_cast<QListWidget*>(object_.data())) return list->count();
    return 0;
}

std::string TQtObjectComponent::ItemText(int i) const {
    auto* list = qobject_cast<QListWidget*>(object_.data());
    return list && list->item(i) ? FromQt(list->item(i)->text()) : std::string();
}

void TQtObjectComponent::SetItemText(int i, const std::string& text) {
    auto* list = qobject_cast<QListWidget*>(object_.data());
    if (list && list->item(i)) list->item(i)->setText(ToQt(text));
}

}  // namespace

TQtApplicationComponent::TQtApplicationComponent() : previous_(application) {
    application = this;
    SetApplicationComponent(this);
}

// A second one (a refused second start, a test) gives the first one back.
TQtApplicationComponent::~TQtApplicationComponent() {
    application = previous_;
    SetApplicationComponent(previous_);
}

void TQtApplicationComponent::InsertComponent(TComponent* component) {
    if (std::find(members_.begin(), members_.end(), component) == members_.end()) members_.push_back(component);
}

void TQtApplicationComponent::RemoveComponent(TComponent* component) {
    members_.erase(std::remove(members_.begin(), members_.end(), component), members_.end());
}

TQtApplicationComponent* QtApplication() { return application; }

void KeepOutOfTranslation(QObject& object) { object.setProperty(kNotTranslated, true); }

QWidget* OwningForm(QObject* object) {
    for (QObject* o = object; o; o = o->parent())
        if (auto* widget = qobject_cast<QWidget*>(o); widget && widget->property(kFormMark).toBool()) return widget;
    return nullptr;
}

TQtFormComponent::TQtFormComponent(QWidget& form) : form_(&form) {
    form.setProperty(kFormMark, true);
    if (application) application->InsertComponent(this);
    translator_ = std::make_unique<TTranslator>(this, "Translator");
}

TQtFormComponent::~TQtFormComponent() {
    translator_.reset();
    if (application) application->RemoveComponent(this);
}

std::string TQtFormComponent::Name() const { return form_ ? form_->objectName().toStdString() : std::string(); }

std::vector<TComponent*> TQtFormComponent::Components() const {
    children_.clear();
    std::vector<TComponent*> result;
    if (!form_) return result;
    auto* self = const_cast<TQtFormComponent*>(this);
    for (QObject* object : form_->findChildren<QObject*>()) {
        // A view placed inside this window is a window of its own, with what it holds.
        if (object->objectName().isEmpty() || object->property(kFormMark).toBool() ||
            object->property(kNotTranslated).toBool() || OwningForm(object) != form_.data())
            continue;
        children_.push_back(std::make_unique<TQtObjectComponent>(*object, *self));
        result.push_back(children_.back().get());
    }
    result.insert(result.end(), members_.begin(), members_.end());
    return result;
}

void TQtFormComponent::InsertComponent(TComponent* component) {
    if (std::find(members_.begin(), members_.end(), component) == members_.end()) members_.push_back(component);
}

void TQtFormComponent::RemoveComponent(TComponent* component) {
    members_.erase(std::remove(members_.begin(), members_.end(), component), members_.end());
}

std::string TQtFormComponent::Caption() const { return form_ ? FromQt(form_->windowTitle()) : std::string(); }

void TQtFormComponent::SetCaption(const std::string& caption) {
    if (form_) form_->setWindowTitle(ToQt(caption));
}
