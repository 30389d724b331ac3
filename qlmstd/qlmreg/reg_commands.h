// The store work behind each qlmreg command. Key paths are relative to the
// product root unless they start with HKEY_LOCAL_MACHINE\ or
// HKEY_CURRENT_USER\; "" is the root. Each returns false with `error` set
// when it cannot do its work, and changes nothing then.
#pragma once

#include <string>

namespace qlm::qlmstd {

// The product root below HKEY_LOCAL_MACHINE.
inline constexpr const char* kProductRootPath = "SOFTWARE\\Kestrela\\Quillmar\\2.6";
// Every command but init needs the root that init creates.
inline constexpr const char* kNoRootText =
    "the store has no product root (run \"qlmreg init\" first)";

// Test hook: a file to create inside import's transaction, just before its
// commit, after which the import waits (up to 60 s) to be killed.
inline constexpr const char* kTestPauseEnv = "QLMSTD_TEST_PAUSE_IN_TRANSACTION";

// Creates the product root; sets "InstallDir" to `install_dir` when given,
// else to `default_dir` when it has none yet.
bool RegInit(const std::string& install_dir, const std::string& default_dir, std::string& error);
bool RegExport(const std::string& key, std::string& text, std::string& error);
// All or nothing: one transaction; a faulty line changes nothing.
bool RegImport(const std::string& text, std::string& error);
bool RegGet(const std::string& key, const std::string& name, std::string& text,
            std::string& error);
bool RegSet(const std::string& key, const std::string& name, const std::string& type,
            const std::string& value, std::string& error);
bool RegDelete(const std::string& key, const std::string* name, std::string& error);

}  // namespace qlm::qlmstd
