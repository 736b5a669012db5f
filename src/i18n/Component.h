#pragma once

#include <string>
#include <vector>

class TTranslator;

// One node of the tree of components that translators walk: the application,
// its forms, frames and data modules, and everything placed on them. The user
// interface adapts its widgets to this interface; the core uses
// TBasicComponent. Ownership, not visual nesting, makes the tree: a component
// placed on a form is owned by the form however deep it sits in panels.
// A component must not outlive its owner.
class TComponent {
public:
    virtual ~TComponent() = default;

    virtual std::string Name() const = 0;
    virtual TComponent* Owner() const = 0;
    // The components this one owns, in creation order.
    virtual std::vector<TComponent*> Components() const = 0;
    // Called by a component that takes this one as its owner, and when it goes.
    virtual void InsertComponent(TComponent*) {}
    virtual void RemoveComponent(TComponent*) {}

    // A published caption property.
    virtual bool HasCaption() const { return false; }
    virtual std::string Caption() const { return {}; }
    virtual void SetCaption(const std::string&) {}

    // Column captions of a list view, or column titles of a data grid.
    virtual int ColumnCount() const { return 0; }
    virtual std::string ColumnText(int) const { return {}; }
    virtual void SetColumnText(int, const std::string&) {}

    // Item captions of a list view.
    virtual int ItemCount() const { return 0; }
    virtual std::string ItemText(int) const { return {}; }
    virtual void SetItemText(int, const std::string&) {}

    // A menu bar driven by an action manager: the items of its action bars.
    virtual int ActionBarCount() const { return 0; }
    virtual int ActionBarItemCount(int) const { return 0; }
    virtual std::string ActionBarItemText(int, int) const { return {}; }
    virtual void SetActionBarItemText(int, int, const std::string&) {}

    virtual TTranslator* AsTranslator() { return nullptr; }
};

// The names on the chain of owners, outermost first, joined by "."; an owner
// without a name adds nothing. Includes the component's own name.
std::string ComponentPath(const TComponent* component);

// The root of the whole application's tree (it has no name); nullptr when the
// program has none, as in most tests.
void SetApplicationComponent(TComponent* application);
TComponent* ApplicationComponent();

// A plain component with the texts a translator rewrites; enough for data
// modules, for tests, and for adapters that copy texts back and forth.
class TBasicComponent : public TComponent {
public:
    explicit TBasicComponent(TComponent* owner = nullptr, std::string name = {});
    ~TBasicComponent() override;
    TBasicComponent(const TBasicComponent&) = delete;
    TBasicComponent& operator=(const TBasicComponent&) = delete;

    std::string Name() const override { return name_; }
    TComponent* Owner() const override { return owner_; }
    std::vector<TComponent*> Components() const override { return components_; }
    void InsertComponent(TComponent* component) override;
    void RemoveComponent(TComponent* component) override;

    // A component has a caption once one is set.
    bool HasCaption() const override { return hasCaption_; }
    std::string Caption() const override { return caption_; }
    void SetCaption(const std::string& caption) override;

    std::vector<std::string> Columns;
    std::vector<std::string> Items;
    std::vector<std::vector<std::string>> ActionBars;

    int ColumnCount() const override { return static_cast<int>(Columns.size()); }
    std::string ColumnText(int i) const override { return Columns.at(static_cast<std::size_t>(i)); }
    void SetColumnText(int i, const std::string& text) override { Columns.at(static_cast<std::size_t>(i)) = text; }
    int ItemCount() const override { return static_cast<int>(Items.size()); }
    std::string ItemText(int i) const override { return Items.at(static_cast<std::size_t>(i)); }
    void SetItemText(int i, const std::string& text) override { Items.at(static_cast<std::size_t>(i)) = text; }
    int ActionBarCount() const override { return static_cast<int>(ActionBars.size()); }
    int ActionBarItemCount(int bar) const override {
        return static_cast<int>(ActionBars.at(static_cast<std::size_t>(bar)).size());
    }
    std::string ActionBarItemText(int bar, int item) const override {
        return ActionBars.at(static_cast<std::size_t>(bar)).at(static_cast<std::size_t>(item));
    }
    void SetActionBarItemText(int bar, int item, const std::string& text) override {
        ActionBars.at(static_cast<std::size_t>(bar)).at(static_cast<std::size_t>(item)) = text;
    }

private:
    TComponent* owner_;
    std::string name_;
    std::vector<TComponent*> components_;
    bool hasCaption_ = false;
    std::string caption_;
};
