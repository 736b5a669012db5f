#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "i18n/Component.h"

// A named user command. The Qt layer mirrors each one in a QAction and follows
// its caption and enabled state through OnChanged.
class TAction {
public:
    TAction(std::string name, std::string caption, std::string category);

    const std::string& Name() const { return name_; }
    const std::string& Category() const { return category_; }
    const std::string& Caption() const { return caption_; }
    bool Enabled() const { return enabled_; }
    bool Visible() const { return visible_; }

    void SetCaption(const std::string& caption);
    void SetEnabled(bool enabled);
    void SetVisible(bool visible);

    std::function<void(TAction&)> OnExecute;
    std::function<void(TAction&)> OnUpdate;
    std::function<void(const TAction&)> OnChanged;

    // Applies the availability rule; returns the resulting enabled state.
    bool Update();
    // Applies the availability rule first; runs the handler only when enabled.
    // Returns whether the handler ran.
    bool Execute();

private:
    void Changed();

    std::string name_, caption_, category_;
    bool enabled_ = true;
    bool visible_ = true;
};

// An action as a component of its module, so that the translator's walk
// rewrites its caption under the key "<module>.<action>.Caption".
class TActionComponent : public TBasicComponent {
public:
    TActionComponent(TComponent* owner, TAction& action) : TBasicComponent(owner, action.Name()), action_(action) {}
    bool HasCaption() const override { return true; }
    std::string Caption() const override { return action_.Caption(); }
    void SetCaption(const std::string& caption) override { action_.SetCaption(caption); }

private:
    TAction& action_;
};

// The actions of one module, found by name.
class TActionList {
public:
    TActionList() = default;
    TActionList(const TActionList&) = delete;
    TActionList& operator=(const TActionList&) = delete;
    // Every action, now and later added, becomes a component of module; the
    // module must outlive the list.
    void AttachTo(TComponent& module);
    // Lets go of the module (before a module that is a member declared after
    // the list goes away).
    void Detach();

    TAction& Add(std::string name, std::string caption, std::string category);
    TAction* Find(const std::string& name) const;
    // Throws std::out_of_range for an unknown name.
    TAction& operator[](const std::string& name) const;
    void UpdateAll();
    const std::vector<std::unique_ptr<TAction>>& Items() const { return actions_; }

private:
    std::vector<std::unique_ptr<TAction>> actions_;
    TComponent* module_ = nullptr;
    std::vector<std::unique_ptr<TActionComponent>> components_;
};
