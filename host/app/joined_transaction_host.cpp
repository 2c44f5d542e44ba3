#include "joined_transaction_host.h"

namespace privhost {

bool JoinedTransactionHost::Joined(const std::string& connection) const
{
    return outerOpen_ && connection == priv::kMainConnection;
}

bool JoinedTransactionHost::RunSavepointStatement(const std::string& sql, std::string& message)
{
    priv::QueryResult ignored;
    return inner_.ExecADOQueryMsg(priv::kMainConnection, sql, ignored, message, false);
}

bool JoinedTransactionHost::Begin(std::string& message)
{
    rolledBack_ = false;
    storeMessage_.clear();
    depth_ = 0;
    outerOpen_ = inner_.DBBeginTrans(priv::kMainConnection, message);
    return outerOpen_;
}

bool JoinedTransactionHost::Commit(std::string& message)
{
    outerOpen_ = false;
    return inner_.DBCommitTrans(priv::kMainConnection, message);
}

void JoinedTransactionHost::Rollback()
{
    if (!outerOpen_)
        return;
    outerOpen_ = false;
    std::string message;
    inner_.DBRollbackTrans(priv::kMainConnection, message);
}

bool JoinedTransactionHost::DBBeginTrans(const std::string& connection, std::string& message)
{
    if (!Joined(connection))
        return inner_.DBBeginTrans(connection, message);
    if (!RunSavepointStatement("SAVEPOINT privhost_store_" + std::to_string(depth_ + 1), message))
        return false;
    ++depth_;
    return true;
}

bool JoinedTransactionHost::DBCommitTrans(const std::string& connection, std::string& message)
{
    if (!Joined(connection))
        return inner_.DBCommitTrans(connection, message);
    if (depth_ == 0) {
        message = "没有进行中的保存点。";
        return false;
    }
    const bool released =
        RunSavepointStatement("RELEASE SAVEPOINT privhost_store_" + std::to_string(depth_), message);
    --depth_;
    if (!released)
        rolledBack_ = true;
    return released;
}

bool JoinedTransactionHost::DBRollbackTrans(const std::string& connection, std::string& message)
{
    if (!Joined(connection))
        return inner_.DBRollbackTrans(connection, message);
    // The store's part is undone at once; the merge as a whole is then
    // abandoned by its caller, which sees StoreRolledBack().
    rolledBack_ = true;
    if (storeMessage_.empty())
        storeMessage_ = message;
    if (depth_ == 0)
        return true;
    std::string ignored;
    const std::string name = "privhost_store_" + std::to_string(depth_);
    const bool undone = RunSavepointStatement("ROLLBACK TO SAVEPOINT " + name, ignored) &&
                        RunSavepointStatement("RELEASE SAVEPOINT " + name, ignored);
    --depth_;
    return undone;
}

} // namespace privhost
