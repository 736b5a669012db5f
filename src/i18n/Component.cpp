#include "i18n/Component.h"

#include <algorithm>

namespace {

TComponent*& Application() {
    static TComponent* application = nullptr;
    return application;
}

}  // namespace

std::string ComponentPath(const TComponent* component) {
    std::vector<std::string> names;
    for (const TComponent* c = component; c; c = c->Owner())
        if (std::string name = c->Name(); !name.empty()) names.push_back(std::move(name));
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) path += (path.empty() ? "" : ".") + *it;
    return path;
}

void SetApplicationComponent(TComponent* application) { Application() = application; }
TComponent* ApplicationComponent() { return Application(); }

TBasicComponent::TBasicComponent(TComponent* owner, std::string name) : owner_(owner), name_(std::move(name)) {
    if (owner_) owner_->InsertComponent(this);
}

TBasicComponent::~TBasicComponent() {
    if (owner_) owner_->RemoveComponent(this);
    if (Application() == this) Application() = nullptr;
}

void TBasicComponent::InsertComponent(TComponent* component) {
    if (component && std::find(components_.begin(), components_.end(), component) == components_.end())
        components_.push_back(component);
}

void TBasicComponent::RemoveComponent(TComponent* component) {
    components_.erase(std::remove(components_.begin(), components_.end(), component), components_.end());
}

void TBasicComponent::SetCaption(const std::string& caption) {
    hasCaption_ = true;
    caption_ = caption;
}
