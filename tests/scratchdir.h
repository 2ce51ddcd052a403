#pragma once
// A folder of one test's own, made under the test temporary directory with a
// name no other process can get, and removed with everything in it when the test
// is done. Test programs running side by side then never touch each other's files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = testing::TempDir() + "quor-test-XXXXXX";
        if (mkdtemp(pattern.data()))
            m_made = true;
        else
            ADD_FAILURE() << "cannot make a folder like " << pattern;
        m_path = pattern; // when it was not made, writes into it fail rather than land elsewhere
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (m_made)
            std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    const std::string &Path() const { return m_path; }
    std::string File(const std::string &name) const { return m_path + "/" + name; }

private:
    std::string m_path;
    bool m_made = false;
};
