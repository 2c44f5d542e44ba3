// The privilege data of one database as one JSON document, for backups,
// reviews and moving a configuration to another office: departments,
// created posts with their grants, operators, and the companies the grants
// name. Written in a stable order (codes in byte order, companies by
// number, keys sorted) so that two exports of the same data are the same
// bytes and two different ones diff line by line.
#pragma once

#include "store/permit.h"
#include "store/transfer_store.h"

#include <QByteArray>

#include <string>
#include <vector>

namespace privhost {

inline constexpr const char* kDocumentFormat = "privhost-privileges";
inline constexpr int kDocumentVersion = 1;

struct AppGrant {
    std::string code;                   // sub-application code
    std::vector<std::string> functions; // function codes
    bool operator==(const AppGrant&) const = default;
};

// A company granted to a post: whole, or just the listed sub-applications.
struct CompanyGrant {
    std::string companyId;
    bool whole = true;
    std::vector<AppGrant> apps;
    bool operator==(const CompanyGrant&) const = default;
};

struct PostEntry {
    std::string code;
    std::string name;
    bool builtIn = false; // "AUDITOR": only its grants travel
    bool hasGrants = false;
    std::vector<CompanyGrant> grants;
};

struct OperatorEntry {
    priv::OperatorRow row;
    // Which fields the document gives; the others stay as the database has
    // them (a new operator: empty, enabled).
    bool hasPassword = false;
    // A spreadsheet's password as typed (row.Password holds it enciphered).
    std::string typedPassword;
    std::vector<std::string> given;
    bool Gives(const char* field) const;
};

struct PrivilegeDocument {
    std::vector<priv::DepartmentRow> departments;
    std::vector<PostEntry> posts;
    std::vector<OperatorEntry> operators;
    std::vector<priv::CompanyRow> companies;
};

// A post's tree as grants: companies by number, sub-applications and
// functions by code, each once.
std::vector<CompanyGrant> GrantsOf(const priv::TRolePermissions& permissions);

QByteArray WriteDocument(const PrivilegeDocument& document, bool withPasswords);

// Reads a document; false with every fault found (malformed JSON with its
// line and column, a wrong format or version, a field of the wrong kind,
// codes given twice).
bool ReadDocument(const QByteArray& bytes, PrivilegeDocument& document, std::vector<std::string>& faults);

} // namespace privhost
