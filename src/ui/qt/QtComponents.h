#pragma once

#include "i18n/Component.h"
#include "i18n/Translator.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

// The root of the translators' walk in the desktop program: the data modules
// and every window, each registered for its lifetime. It has no name.
class TQtApplicationComponent : public TComponent {
public:
    TQtApplicationComponent();
    ~TQtApplicationComponent() override;
    std::string Name() const override { return {}; }
    TComponent* Owner() const override { return nullptr; }
    std::vector<TComponent*> Components() const override { return members_; }
    void InsertComponent(TComponent* component) override;
    void RemoveComponent(TComponent* component) override;

private:
    std::vector<TComponent*> members_;
    TQtApplicationComponent* previous_;
};

// The application component of this program; nullptr before it exists.
TQtApplicationComponent* QtApplication();

// A window (form or frame) in the walk. Every named widget, action and menu
// inside it is a component the window owns, however deep it sits in panels,
// except what sits in another window placed inside it (a view in the work
// area). The window's translator is made with it; Loaded applies the current
// language to the whole application once the window is built.
class TQtFormComponent : public TComponent {
public:
    explicit TQtFormComponent(QWidget& form);
    ~TQtFormComponent() override;
    TQtFormComponent(const TQtFormComponent&) = delete;
    TQtFormComponent& operator=(const TQtFormComponent&) = delete;

    std::string Name() const override;
    TComponent* Owner() const override { return QtApplication(); }
    std::vector<TComponent*> Components() const override;
    // Components the window owns that are no widgets (a view's actions).
    void InsertComponent(TComponent* component) override;
    void RemoveComponent(TComponent* component) override;
    bool HasCaption() const override { return true; }
    std::string Caption() const override;
    void SetCaption(const std::string& caption) override;

    TTranslator& Translator() { return *translator_; }
    void Loaded() { translator_->Loaded(); }

private:
    QPointer<QWidget> form_;
    mutable std::vector<std::unique_ptr<TComponent>> children_;
    std::vector<TComponent*> members_;
    std::unique_ptr<TTranslator> translator_;
};

// Leaves an object out of the walk: it shows values, or it follows a core
// action whose caption is translated with its module.
void KeepOutOfTranslation(QObject& object);

// The form a widget belongs to for the walk: its nearest ancestor (or itself)
// marked as a form.
QWidget* OwningForm(QObject* object);
