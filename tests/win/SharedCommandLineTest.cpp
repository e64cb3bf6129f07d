// The shared command-line buffer between a first launch and the later ones: each "launch" here is another
// buffer of the same name in the same process; the named objects behave the same.

#include "win/app/SharedCommandLine.h"
#include "win/base/Handles.h"

#include "support/Names.h"

#include <gtest/gtest.h>

#include <aclapi.h>

#include <string>

using namespace dravel::win;
using namespace dravel::win::test;

namespace {

TEST(SharedCommandLine, WriterAndReaderShareTheBufferAndEveryNewcomerAndReadClearsIt) {
    const std::wstring name = UniqueName("buffer");
    CSharedCommandLine first(name);
    ASSERT_TRUE(first.IsOpen());
    EXPECT_EQ(first.Read(), "");

    CSharedCommandLine later(name);
    EXPECT_TRUE(later.Write("\"C:\\Dravel On\\DravelOn.exe\" /ID:kim"));
    EXPECT_EQ(first.Read(), "\"C:\\Dravel On\\DravelOn.exe\" /ID:kim");
    EXPECT_EQ(first.Read(), ""); // read once: nothing stays behind

    CSharedCommandLine another(name);
    EXPECT_EQ(first.Read(), "");

    EXPECT_TRUE(later.Write(std::string(255, 'a')));
    EXPECT_FALSE(later.Write(std::string(300, 'b')));
    EXPECT_EQ(first.Read(), std::string(255, 'a'));
}

// The buffer and its lock let in the user who runs the program and nobody else.
TEST(SharedCommandLine, OnlyTheUserMayOpenTheBufferAndItsLock) {
    const std::wstring name = UniqueName("owner");
    CSharedCommandLine buffer(name);
    ASSERT_TRUE(buffer.IsOpen());
    HANDLE token = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
    const CKernelHandle heldToken(token);
    BYTE user[256];
    DWORD size = 0;
    ASSERT_TRUE(::GetTokenInformation(token, TokenUser, user, sizeof(user), &size));
    const PSID self = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
    const CKernelHandle objects[] = {
        CKernelHandle(::OpenFileMappingW(READ_CONTROL, FALSE, (name + L"-Data-Mapping-File").c_str())),
        CKernelHandle(::OpenMutexW(READ_CONTROL, FALSE, (name + L"-Data-Mapping-Mutex").c_str()))};
    for (const CKernelHandle& object : objects) {
        ASSERT_TRUE(object);
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(::GetSecurityInfo(object.Get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                    nullptr, &descriptor),
                  static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_NE(dacl, nullptr);
        EXPECT_EQ(dacl->AceCount, 1);
        void* ace = nullptr;
        ASSERT_TRUE(::GetAce(dacl, 0, &ace));
        EXPECT_EQ(static_cast<ACE_HEADER*>(ace)->AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_TRUE(::EqualSid(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, self));
        ::LocalFree(descriptor);
    }
}

// Another kind of object holding the buffer's name leaves the buffer closed, not broken.
TEST(SharedCommandLine, NameTakenByAnotherObjectGivesAClosedBuffer) {
    const std::wstring name = UniqueName("squat");
    CKernelHandle squatter(::CreateEventW(nullptr, FALSE, FALSE, (name + L"-Data-Mapping-File").c_str()));
    ASSERT_TRUE(squatter);
    CSharedCommandLine buffer(name);
    EXPECT_FALSE(buffer.IsOpen());
    EXPECT_FALSE(buffer.Write("x"));
    EXPECT_EQ(buffer.Read(), "");
}

} // namespace
