// The release archive's 32-bit programs as a user meets them, stripped as shipped: the unpacked
// archive's demo.reg imported with regedit, its velmora-sim.exe started to the main window with
// the demo's modes, and its velmoractl-sim.exe listing them. The folder of the unpacked archive is
// given in VELMORA_RELEASE_DIR (scripts/test makes the archive and sets it).
#include "e2e/scenario.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace e2e;
using namespace scenario;

TEST(Release, DemoImportedWindowAndListRunAsShipped) {
    const char* folder = std::getenv("VELMORA_RELEASE_DIR");
    ASSERT_TRUE(folder && *folder) << "VELMORA_RELEASE_DIR names the unpacked archive";
    const std::string dir = std::string(folder) + "\\";
    ASSERT_TRUE(ResetRegistry(1));
    ASSERT_TRUE(ImportRegFile((dir + "demo.reg").c_str()));

    Session session;
    ASSERT_TRUE(session.StartPath((dir + "velmora-sim.exe").c_str()));
    HWND main = session.WaitForMainWindow();
    ASSERT_NE(nullptr, main) << session.Windows();
    const std::vector<std::string> rows = {"640 480 60", "800 600 75", "1024 768 85"};
    EXPECT_EQ(rows, Rows(main));

    uint32_t code = 12345;
    std::string out, err;
    ASSERT_TRUE(RunCaptured((dir + "velmoractl-sim.exe").c_str(), "list", 3 * DefaultTimeoutMs,
                            &code, &out, &err));
    EXPECT_EQ(0u, code) << err;
    for (const char* mode : {"640x480@60", "800x600@75", "1024x768@85"})
        EXPECT_NE(std::string::npos, out.find(mode)) << out;
    ResetRegistry(0);
}
