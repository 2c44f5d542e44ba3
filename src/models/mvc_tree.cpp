#include "models/mvc_tree.h"

namespace priv {

// --- TMVCNode ---------------------------------------------------------------------

TMVCNode::~TMVCNode()
{
    for (std::unique_ptr<TMVCNode>& child : FChildren)
        child.reset();
}

TMVCNode* TMVCNode::ChildAt(int index) const
{
    return index >= 0 && index < ChildCount() ? FChildren[static_cast<std::size_t>(index)].get() : nullptr;
}

int TMVCNode::Index() const
{
    if (!FParent)
        return -1;
    const auto& siblings = FParent->FChildren;
    for (std::size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this)
            return static_cast<int>(i);
    return -1;
}

TMVCNode* TMVCNode::AddChild()
{
    TMVCView* view = FViewRow && FTree ? FTree->View() : nullptr;
    if (view)
        view->BeginAddChildRow(*this);
    FChildren.push_back(std::make_unique<TMVCNode>(FTree));
    TMVCNode* child = FChildren.back().get();
    child->FParent = this;
    if (view)
        view->EndAddChildRow(*this);
    return child;
}

std::unique_ptr<TMVCNode> TMVCNode::DetachChild(int index)
{
    if (index < 0 || index >= ChildCount())
        return nullptr;
    TMVCView* view = FViewRow && FTree ? FTree->View() : nullptr;
    if (view)
        view->BeginRemoveChildRow(*this, index);
    std::unique_ptr<TMVCNode> child = std::move(FChildren[static_cast<std::size_t>(index)]);
    FChildren.erase(FChildren.begin() + index);
    child->FParent = nullptr;
    // The detached part is no longer shown anywhere.
    std::vector<TMVCNode*> pending{child.get()};
    while (!pending.empty()) {
        TMVCNode* node = pending.back();
        pending.pop_back();
        node->FViewRow = nullptr;
        for (auto& below : node->FChildren)
            pending.push_back(below.get());
    }
    if (view)
        view->EndRemoveChildRow(*this);
    return child;
}

void TMVCNode::FreeChild(int index)
{
    DetachChild(index).reset();
}

void TMVCNode::SetCheckState(TCheckState state)
{
    if (FCheckState == state)
        return;
    FCheckState = state;
    if (FViewRow && FTree && FTree->View())
        FTree->View()->ShowRowCheckState(*this);
}

void TMVCNode::SetCaption(const std::string& caption)
{
    if (FCaption != caption)
        FCaption = caption;
}

// --- TMVCTree ---------------------------------------------------------------------

TMVCTree::TMVCTree() : FRoot(std::make_unique<TMVCNode>(this))
{
    FRoot->SetKind(TMVCNode::kRootKind);
    FRoot->SetCode("00");
}

TMVCTree::~TMVCTree()
{
    if (FView)
        FView->UnhookTree(*this);
    FView = nullptr;
    FRoot.reset();
}

void TMVCTree::HookViewEvents()
{
    if (FView)
        FView->HookTree(*this);
}

void TMVCTree::RebuildView()
{
    // The rows are made again from the model; nothing they report while that
    // happens is a choice of the user's. The control draws its rows when the
    // event loop next runs: nothing here waits for it.
    FCheckHandling = false;
    ForgetRows();
    if (FView)
        FView->ClearRows(FRoot->ChildCount());
    FCheckHandling = true;
}

void TMVCTree::SetSubtree(TMVCNode& node, TCheckState state)
{
    for (int i = 0; i < node.ChildCount(); ++i) {
        TMVCNode* child = node.ChildAt(i);
        child->SetCheckState(state);
        SetSubtree(*child, state);
    }
}

bool TMVCTree::AllChecked(const TMVCNode& node)
{
    for (int i = 0; i < node.ChildCount(); ++i) {
        const TMVCNode* child = node.ChildAt(i);
        if (!child->IsChecked() || !AllChecked(*child))
            return false;
    }
    return true;
}

bool TMVCTree::AnyChecked(const TMVCNode& node)
{
    for (int i = 0; i < node.ChildCount(); ++i) {
        const TMVCNode* child = node.ChildAt(i);
        if (child->IsChecked() || AnyChecked(*child))
            return true;
    }
    return false;
}

bool TMVCTree::AnyTopLevelChecked() const
{
    for (int i = 0; i < FRoot->ChildCount(); ++i)
        if (FRoot->ChildAt(i)->IsChecked())
            return true;
    return false;
}

TMVCNode* TMVCTree::InitRow(TMVCNode* parent, int index, void* row)
{
    TMVCNode* node = (parent ? parent : FRoot.get())->ChildAt(index);
    if (node)
        node->SetViewRow(row);
    return node;
}

std::string TMVCTree::RowText(const TMVCNode* node)
{
    return node ? node->Caption() : std::string(kNoNodeText);
}

void TMVCTree::RowClicked(TMVCNode* node, TCheckState rowState)
{
    if (node)
        node->SetCheckState(rowState);
}

void TMVCTree::UserChecked(TMVCNode* node, TCheckState state)
{
    if (!FCheckHandling || !node || node == FRoot.get())
        return;
    node->SetCheckState(state);
    SetSubtree(*node, state);
    for (TMVCNode* above = node->Parent(); above && above->Kind() >= 0; above = above->Parent()) {
        if (AnyChecked(*above)) {
            if (!above->IsChecked())
                above->SetCheckState(TCheckState::Checked);
        } else {
            above->SetCheckState(TCheckState::Unchecked);
        }
    }
    if (FView)
        FView->Refresh();
    if (!AnyTopLevelChecked() && FWindow)
        FWindow->UncheckShownCompany();
}

namespace {

void ForgetRowsBelow(TMVCNode& node)
{
    node.SetViewRow(nullptr);
    for (int i = 0; i < node.ChildCount(); ++i)
        ForgetRowsBelow(*node.ChildAt(i));
}

} // namespace

void TMVCTree::ForgetRows()
{
    ForgetRowsBelow(*FRoot);
}

} // namespace priv
