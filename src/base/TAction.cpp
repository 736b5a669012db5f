#include "base/TAction.h"

#include <stdexcept>

TAction::TAction(std::string name, std::string caption, std::string category)
    : name_(std::move(name)), caption_(std::move(caption)), category_(std::move(category)) {}

void TAction::SetCaption(const std::string& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    Changed();
}

void TAction::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Changed();
}

void TAction::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    Changed();
}

bool TAction::Update() {
    if (OnUpdate) OnUpdate(*this);
    return enabled_;
}

bool TAction::Execute() {
    if (!Update() || !OnExecute) return false;
    OnExecute(*this);
    return true;
}

void TAction::Changed() {
    if (OnChanged) OnChanged(*this);
}

void TActionList::AttachTo(TComponent& module) {
    module_ = &module;
    components_.clear();
    for (const auto& action : actions_) components_.push_back(std::make_unique<TActionComponent>(module_, *action));
}

void TActionList::Detach() {
    components_.clear();
    module_ = nullptr;
}

TAction& TActionList::Add(std::string name, std::string caption, std::string category) {
    actions_.push_back(std::make_unique<TAction>(std::move(name), std::move(caption), std::move(category)));
    if (module_) components_.push_back(std::make_unique<TActionComponent>(module_, *actions_.back()));
    return *actions_.back();
}

TAction* TActionList::Find(const std::string& name) const {
    for (const auto& action : actions_)
        if (action->Name() == name) return action.get();
    return nullptr;
}

TAction& TActionList::operator[](const std::string& name) const {
    if (TAction* action = Find(name)) return *action;
    throw std::out_of_range("no action named " + name);
}

void TActionList::UpdateAll() {
    for (const auto& action : actions_) action->Update();
}
