#pragma once

class QAction;
class QObject;
class TAction;
class TActionList;

// The one QAction of a core action: it follows the action's caption, enabled
// state and visibility, and executes it when triggered, so buttons, menus and
// the tray menu all decide availability in one place. Owned by owner.
QAction* MirrorAction(TAction& action, QObject* owner);
// The mirror of an action already mirrored under owner, else a new one.
QAction* ActionFor(TActionList& actions, const char* name, QObject* owner);
