// The shared command-line buffer between a first launch and the later ones: each "launch" here is another
// buffer of the same name in the same process; the named objects behave the same.

#include "win/app/SharedCommandLine.h"
#include "win/base/Handles.h"

#include "support/Names.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel::win;
using namespace dravel::win::test;

namespace {

TEST(SharedCommandLine, WriterAndReaderShareTheBufferAndEveryNewcomerClearsIt) {
    const std::wstring name = UniqueName("buffer");
    CSharedCommandLine first(name);
    ASSERT_TRUE(first.IsOpen());
    EXPECT_EQ(first.Read(), "");

    CSharedCommandLine later(name);
    EXPECT_TRUE(later.Write("\"C:\\Dravel On\\DravelOn.exe\" /ID:kim"));
    EXPECT_EQ(first.Read(), "\"C:\\Dravel On\\DravelOn.exe\" /ID:kim");

    CSharedCommandLine another(name);
    EXPECT_EQ(first.Read(), "");

    EXPECT_TRUE(later.Write(std::string(255, 'a')));
    EXPECT_FALSE(later.Write(std::string(300, 'b')));
    EXPECT_EQ(first.Read(), std::string(255, 'a'));
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
