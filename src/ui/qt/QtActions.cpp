#include "ui/qt/QtActions.h"

#include "base/TAction.h"
#include "ui/qt/Guarded.h"
#include "ui/qt/QtComponents.h"
#include "ui/qt/QtText.h"

#include <QAction>
#include <QPushButton>
#include <QPointer>

namespace {

void Follow(QAction& mirror, const TAction& action) {
    mirror.setText(ToQt(action.Caption()));
    mirror.setEnabled(action.Enabled());
    mirror.setVisible(action.Visible());
}

}  // namespace

QAction* MirrorAction(TAction& action, QObject* owner) {
    auto* mirror = new QAction(owner);
    mirror->setObjectName(QString::fromStdString(action.Name()));
    KeepOutOfTranslation(*mirror);
    Follow(*mirror, action);
    // The core action may outlive the window that shows it.
    QPointer<QAction> guard(mirror);
    action.OnChanged = [guard](const TAction& changed) {
        if (guard) Follow(*guard, changed);
    };
    QObject::connect(mirror, &QAction::triggered, mirror, [&action] { RunReportingErrors([&action] { action.Execute(); }); });
    return mirror;
}

QAction* ActionFor(TActionList& actions, const char* name, QObject* owner) {
    if (auto* existing = owner->findChild<QAction*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly))
        return existing;
    return MirrorAction(actions[name], owner);
}

QPushButton* ActionButton(QAction& action, QWidget* parent, bool triggers) {
    auto* button = new QPushButton(action.text(), parent);
    KeepOutOfTranslation(*button);
    button->setEnabled(action.isEnabled());
    QObject::connect(&action, &QAction::changed, button, [button, &action] {
        button->setText(action.text());
        button->setEnabled(action.isEnabled());
    });
    if (triggers) QObject::connect(button, &QPushButton::clicked, &action, &QAction::trigger);
    return button;
}
