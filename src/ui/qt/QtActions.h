#pragma once

class QAction;
class QPushButton;
class QWidget;
class QObject;
class TAction;
class TActionList;

// The one QAction of a core action: it follows the action's caption, enabled
// state and visibility, and executes it when triggered, so buttons, menus and
// the tray menu all decide availability in one place. Owned by owner.
QAction* MirrorAction(TAction& action, QObject* owner);
// The mirror of an action already mirrored under owner, else a new one.
QAction* ActionFor(TActionList& actions, const char* name, QObject* owner);
// A push button showing an action's caption and availability, kept out of
// the translators' walk (the caption is the action's). With triggers, a click
// triggers the action; without, the caller decides what a click does.
QPushButton* ActionButton(QAction& action, QWidget* parent, bool triggers = true);
