// The post settings dialog: add, rename and delete the posts an operator can
// be given. Everything happens in one editable drop-down box: pick a post to
// rename or delete it, or type a new name to add one. The built-in posts are
// listed but cannot be changed here.
#pragma once

#include "store/post_store.h"
#include "store/records.h"
#include "ui/custom_dlg_ex.h"

#include <memory>
#include <string>

namespace Ui {
class TfrmUserPost;
}

namespace priv {

// The first entry of the post name box, shown grey while it stands there.
inline constexpr const char* kNewPostPrompt = "输入新的岗位名称...";
// Created posts are coded "GW" and a number of at least five digits.
inline constexpr int kMaxCreatedPosts = 90000;

class TfrmUserPost : public Tfrm_CustomDlgEx {
    Q_OBJECT
public:
    explicit TfrmUserPost(QWidget* parent = nullptr);
    ~TfrmUserPost() override;

    // The first "GW" code, from GW00001 on, that no post in the list has
    // (letter case ignored); empty when all of them are taken.
    static std::string NewPostCode(const TUserPostList& posts);

    // The post last picked: empty code and name when the text matched none.
    const UserPostInfo& CurrentPost() const { return FCurrentPost; }
    const TUserPostList& Posts() const { return FPostList; }

public slots:
    void btnAddClick();
    void btnEditClick();
    void btnDelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void LoadPosts();
    void UpdatePostButtons();
    void cbxPostNameEnter();
    void cbxPostNameDropDown();
    bool CheckPostName();
    bool FindPostByName(const std::string& name, UserPostInfo& post) const;
    std::string PostNameText() const;
    void FocusPostName();
    // Refuses (with its message) an empty name or the grey prompt.
    bool AcceptTypedName();
    void SetPromptColor(bool grey);

    std::unique_ptr<Ui::TfrmUserPost> ui;
    TRolesMgr FRolesMgr;
    TUserPostList FPostList;
    UserPostInfo FCurrentPost;
    std::string FMode; // "add" or "edt"
    bool shown_ = false;
};

// Shows the post settings dialog modally and frees it. True when it closed
// with OK, which none of its commands does: the caller refreshes regardless.
bool ShowUserPost();

} // namespace priv
