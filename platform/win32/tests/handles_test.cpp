#include "platform/win32/win32.h"

#include <gtest/gtest.h>

namespace
{

struct Probe : win32::KernelObject
{
    explicit Probe(bool* destroyed) : destroyed(destroyed) {}
    ~Probe() override { *destroyed = true; }
    bool* destroyed;
};

TEST(KernelHandles, CloseDestroysAndNeverReusesTheHandle)
{
    bool destroyed = false;
    HANDLE h = win32::RegisterKernelObject(std::make_shared<Probe>(&destroyed));
    ASSERT_NE(h, nullptr);
    EXPECT_NE(win32::LookupKernelObjectAs<Probe>(h), nullptr);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(win32::LookupKernelObject(h), nullptr);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    bool other = false;
    HANDLE h2 = win32::RegisterKernelObject(std::make_shared<Probe>(&other));
    EXPECT_NE(h2, h);
    EXPECT_TRUE(CloseHandle(h2));
}

TEST(KernelHandles, InvalidHandlesAreRefused)
{
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(win32::LookupKernelObject(INVALID_HANDLE_VALUE), nullptr);
    EXPECT_EQ(win32::RegisterKernelObject(nullptr), nullptr);
}

TEST(KernelHandles, ObjectOutlivesCloseWhileInUse)
{
    bool destroyed = false;
    HANDLE h = win32::RegisterKernelObject(std::make_shared<Probe>(&destroyed));
    auto inUse = win32::LookupKernelObject(h);
    CloseHandle(h);
    EXPECT_FALSE(destroyed);
    inUse.reset();
    EXPECT_TRUE(destroyed);
}

} // namespace
