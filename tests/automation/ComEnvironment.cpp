// The test process is an OLE client: COM is initialised for its one thread
// (a single-threaded apartment, as an editor's GUI thread would have).
#include <gtest/gtest.h>

#include <objbase.h>

namespace {

class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { ::CoUninitialize(); }
};

[[maybe_unused]] ::testing::Environment* const comEnvironment =
    ::testing::AddGlobalTestEnvironment(new ComEnvironment);

}  // namespace
