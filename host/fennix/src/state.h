// What the substitute host keeps between calls: one object, owned by the
// library, reached through State(). Each concern's file works on its part.
#pragma once

#include "fennix/testing.h"

#include "applications.h"
#include "records.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fennix::detail {

struct StatementFailure {
    std::string fragment;
    int skip = 0;
    int times = -1;
    int matches = 0;
};

struct HostState {
    Settings settings;
    bool open = false;

    // Records and descriptors, rebuilt by Open.
    std::unique_ptr<NamedRecord> userInfo = std::make_unique<NamedRecord>();
    std::unique_ptr<NamedRecord> companyInfo = std::make_unique<NamedRecord>();
    Applications applications;
    std::vector<std::string> withdrawnProducts;

    // Message boxes.
    bool interactive = false;
    std::deque<int> answers;
    std::vector<ShownMessage> shown;

    // Database seams.
    std::vector<StatementFailure> failures;
    // Only while a test reads the log: a large save runs a million statements.
    bool keepStatements = false;
    std::vector<std::string> executed;
    std::function<void(const std::string&)> statementHook;
    std::function<void(const std::string&)> databaseFailureHandler;

    // Clock and keyboard.
    std::optional<double> now;
    std::optional<bool> capsLock;

    // Windows and the main-frame channel.
    void* appHandle = nullptr;
    void* mainFrame = nullptr;
    std::map<std::string, void*> windowClasses;
    MessageHandler onMessage;
    CopyDataHandler onCopyData;
    std::map<std::string, HostFunction> functions;
    std::string currentFunction;
    std::string currentSubApp;
    void* currentParentForm = nullptr;
    void* mainFrameParentForm = nullptr;
};

HostState& State();

} // namespace fennix::detail
