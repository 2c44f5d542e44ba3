// The operator store: one operator's row in QX_CZY, its post in QX_CZYRROLE
// and, when it is deleted, its rows in the link tables. It never speaks to the
// user and never enciphers: passwords come and go in their stored form.
#pragma once

#include "boundary/host.h"
#include "store/records.h"

#include <optional>
#include <string>

namespace priv {

class TOperator {
public:
    TOperator() = default;
    TOperator(const TOperator&) = delete;
    TOperator& operator=(const TOperator&) = delete;

    // Fills `info` from the operator's row joined with its post; false (and
    // `info` untouched) when there is no such operator, it has no post, or
    // the statement fails. The code is found as OperatorExists finds it.
    // `wholeAddress`, when given, receives the address as stored (see
    // LoadOperatorAddress) from the same row.
    bool LoadOperator(const std::string& operatorCode, OperatorInfo& info,
                      std::string* wholeAddress = nullptr);
    // Codes compare ignoring the case of their letters; of two stored codes
    // that differ only in case, the one written exactly as asked is found.
    bool OperatorExists(const std::string& operatorCode);
    // The operator's address (ZZ) whole, as stored: a record keeps only its
    // first 255 bytes, which must not be what goes back to the database
    // when the address was not touched. False when there is no such
    // operator or the statement fails.
    bool LoadOperatorAddress(const std::string& operatorCode, std::string& address);
    // Operator and post in one transaction; nothing stays behind on failure.
    bool AddOperator(const OperatorInfo& info);
    // Name, password, department, contact data, valid flag and post in one
    // transaction; the code, category and description never change.
    bool ModifyOperator(const OperatorInfo& info);
    bool ModifyPassword(const std::string& operatorCode, const std::string& encipheredPassword);
    // Link tables first, then the post, then the operator; the answer is
    // whether the operator's own row went.
    bool DeleteOperator(const std::string& operatorCode);

    // The operators the login window offers: every active operator that has
    // a post, in code order. The department is named by the operator's own
    // SSBM column and no department code is read. False (the list as far
    // as it was read) when the statement fails or a row cannot be read.
    bool ListSignInOperators(TOperatorInfoList& operators);
    // The operators the operator window lists: every operator that has a
    // post, those whose code and name contain the filters when they are not
    // empty. A row carries code, name, post code and name, department code
    // and name ("——" for none). False when the statement fails or a row
    // cannot be read; the list then holds the rows read so far.
    bool ListOperators(const std::string& codeFilter, const std::string& nameFilter,
                       TOperatorListEntries& operators);
    // How many companies are linked to the operator (QX_CZYQY); false when
    // the statement fails.
    bool CountOperatorCompanies(const std::string& operatorCode, int& count);
    // Writes the time of a sign-in (a day count, written to the minute) as
    // the operator's last sign-in.
    bool StampLastSignIn(const std::string& operatorCode, double signedInAt);

    const std::string& LastStatement() const { return FLastStatement; }

private:
    std::optional<std::string> StoredOperatorCode(const std::string& operatorCode);

    QueryResult FQuery;
    std::string FLastStatement;
};

} // namespace priv
