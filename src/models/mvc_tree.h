// The model tree behind a check-box tree list: nodes with a caption, a code
// and a two-state check, and the rules that keep the boxes consistent
// (checking a node checks everything beneath it; a node above shows whether
// anything beneath it is checked). The list control only displays the
// model; it reaches the tree through TMVCView and tells it of the user's own
// check changes, which are the only ones that run the check handling.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace priv {

enum class TCheckState { Unchecked, Checked };

class TMVCNode;
class TMVCTree;

// The tree-list control a model tree is bound to, as the plain tree sees it.
// Rows are made by the control on demand; a row that exists is linked to its
// node through the node's ViewRow.
class TMVCView {
public:
    virtual ~TMVCView() = default;
    // Row data, event connections and the look of the control.
    virtual void HookTree(TMVCTree& tree) = 0;
    // The tree goes away: the control forgets it and every row.
    virtual void UnhookTree(TMVCTree& tree) = 0;
    // Every row goes (the nodes' links end); the control then has
    // `topLevelRows` rows at the top, made again on demand.
    virtual void ClearRows(int topLevelRows) = 0;
    // The node's row shows the node's check state; no check event.
    virtual void ShowRowCheckState(TMVCNode& node) = 0;
    // A child is about to be appended to a node that has a row, and was
    // appended: the row is initialised again (so that it gets its expand
    // button) and repainted from there downward.
    virtual void BeginAddChildRow(TMVCNode& parent) = 0;
    virtual void EndAddChildRow(TMVCNode& parent) = 0;
    // The same for a child leaving a node that has a row.
    virtual void BeginRemoveChildRow(TMVCNode& parent, int index) = 0;
    virtual void EndRemoveChildRow(TMVCNode& parent) = 0;
    virtual void Refresh() = 0;
};

// Told when nothing at the top level is checked any more.
class TMVCWindow {
public:
    virtual ~TMVCWindow() = default;
    virtual void UncheckShownCompany() = 0;
};

class TMVCNode {
public:
    static constexpr int kRootKind = -1;

    TMVCNode() = default;
    explicit TMVCNode(TMVCTree* tree) : FTree(tree) {}
    TMVCNode(const TMVCNode&) = delete;
    TMVCNode& operator=(const TMVCNode&) = delete;
    // Frees the children from the first. A node leaves its parent's list
    // through FreeChild (or DetachChild and then its owner), never while it
    // is still listed there.
    virtual ~TMVCNode();

    TMVCNode* Parent() const { return FParent; }
    int ChildCount() const { return static_cast<int>(FChildren.size()); }
    // None outside 0 .. ChildCount()-1.
    TMVCNode* ChildAt(int index) const;
    // The position of this node in its parent's list; -1 for the root.
    int Index() const;

    // A new last child; an existing row of this node is initialised again.
    TMVCNode* AddChild();
    // Takes the child out of the list without freeing it; the caller owns it.
    std::unique_ptr<TMVCNode> DetachChild(int index);
    void FreeChild(int index);

    TCheckState CheckState() const { return FCheckState; }
    bool IsChecked() const { return FCheckState == TCheckState::Checked; }
    // Nothing when unchanged; else stores it and puts it into an existing row
    // directly, so the control raises no check event for it.
    void SetCheckState(TCheckState state);

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& caption);
    const std::string& Code() const { return FCode; }
    void SetCode(const std::string& code) { FCode = code; }
    int Kind() const { return FKind; }
    void SetKind(int kind) { FKind = kind; }

    // The control's row that shows the node; none until the row is made.
    void* ViewRow() const { return FViewRow; }
    void SetViewRow(void* row) { FViewRow = row; }

    TMVCTree* Tree() const { return FTree; }

private:
    TMVCTree* FTree = nullptr;
    TMVCNode* FParent = nullptr;
    std::vector<std::unique_ptr<TMVCNode>> FChildren;
    TCheckState FCheckState = TCheckState::Unchecked;
    std::string FCaption;
    std::string FCode;
    int FKind = 0;
    void* FViewRow = nullptr;
};

class TMVCTree {
public:
    TMVCTree();
    TMVCTree(const TMVCTree&) = delete;
    TMVCTree& operator=(const TMVCTree&) = delete;
    // Unbinds the control, then frees the nodes.
    ~TMVCTree();

    TMVCNode& Root() { return *FRoot; }
    const TMVCNode& Root() const { return *FRoot; }
    TMVCView* View() const { return FView; }
    TMVCWindow* Window() const { return FWindow; }
    void SetWindow(TMVCWindow* window) { FWindow = window; }

    void BindView(TMVCView* view) { FView = view; }
    void HookViewEvents();
    // Shows the model afresh: the rows go and are made again from the model
    // as the control needs them; the check handling is off meanwhile.
    void RebuildView();

    void CheckAll(TCheckState state) { SetSubtree(*FRoot, state); }
    // Every descendant of `node` takes `state`, in list order, rows included.
    static void SetSubtree(TMVCNode& node, TCheckState state);
    // Every descendant is checked; true for a node without children.
    static bool AllChecked(const TMVCNode& node);
    // Some descendant is checked.
    static bool AnyChecked(const TMVCNode& node);
    // Some child of the root is checked.
    bool AnyTopLevelChecked() const;

    // --- What the control reports -----------------------------------------------
    // The node shown by the `index`-th row under `parent` (none: the top
    // level); none when there is no such node. The row is linked to it.
    TMVCNode* InitRow(TMVCNode* parent, int index, void* row);
    // The caption of a row's node; "——" for a row without a node.
    static std::string RowText(const TMVCNode* node);
    // A click on a row: its node takes the row's state.
    void RowClicked(TMVCNode* node, TCheckState rowState);
    // The user changed a row's check box: the check handling. Ignored while
    // the handling is disconnected and for a row without a node.
    void UserChecked(TMVCNode* node, TCheckState state);

    // Ends every node's link to a row (the control cleared its rows).
    void ForgetRows();

    // The text of a row without a node.
    static constexpr const char* kNoNodeText = "——";

private:
    std::unique_ptr<TMVCNode> FRoot;
    TMVCView* FView = nullptr;
    TMVCWindow* FWindow = nullptr;
    bool FCheckHandling = true;
};

} // namespace priv
