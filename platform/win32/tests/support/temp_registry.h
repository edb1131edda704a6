// Points the registry at a fresh temporary directory for one test and
// restores the previous setting afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

class TempRegistry
{
public:
    TempRegistry()
    {
        if (const char* old = std::getenv("DEZAZ_REGISTRY"))
            previous_ = old;
        std::string pattern = (std::filesystem::temp_directory_path() / "registry-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
        ::setenv("DEZAZ_REGISTRY", dir_.c_str(), 1);
    }
    ~TempRegistry()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        if (previous_.empty())
            ::unsetenv("DEZAZ_REGISTRY");
        else
            ::setenv("DEZAZ_REGISTRY", previous_.c_str(), 1);
    }
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::string& Dir() const { return dir_; }

private:
    std::string dir_;
    std::string previous_;
};
