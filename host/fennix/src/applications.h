// The host's applications: the main frame and its sub-applications with their
// ordered functions, read from the JSON applications file.
#pragma once

#include "boundary/host.h"

#include <memory>
#include <string>
#include <vector>

namespace fennix::detail {

class Applications {
public:
    // Replaces the descriptors with those of `path`; an empty path leaves none.
    // On a malformed file nothing is replaced and `error` names the fault.
    bool Load(const std::string& path, std::string& error);
    void Clear();

    const std::string& VersionType() const { return versionType_; }
    priv::SubAppDescriptor* MainFrame() const { return mainFrame_.get(); }
    // The main frame for its own code, else the sub-application, else none.
    priv::SubAppDescriptor* FindByCode(const std::string& code) const;
    // The code of the application with this product; empty when unknown.
    std::string CodeOfProduct(const std::string& product) const;
    const std::vector<std::unique_ptr<priv::SubAppDescriptor>>& SubApps() const { return subApps_; }
    // Whether any application has an enabled function of this code.
    bool FunctionEnabled(const std::string& functionCode) const;

private:
    std::string versionType_;
    std::unique_ptr<priv::SubAppDescriptor> mainFrame_;
    std::vector<std::unique_ptr<priv::SubAppDescriptor>> subApps_;
};

} // namespace fennix::detail
