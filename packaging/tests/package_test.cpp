// The Debian package as `cpack -G DEB` builds it from this build: the files
// it holds, the dependencies it declares against what its programs link,
// its maintainer scripts, lintian's verdict, and an install and purge in a
// scratch root whose scripts add and remove the printer on a scheduler of
// the test's own.
#include <unistd.h>

#include <regex>
#include <sstream>

#include "setup/tests/SetupFixture.h"

namespace {

class PackageTest : public SetupFixture {};

// The first word of KEY's value in a desktop entry or a systemd unit.
std::string Value(const std::string& entry, const std::string& key) {
    std::smatch found;
    return std::regex_search(entry, found, std::regex("(^|\n)" + key + "=([^ \n]*)")) ? found[2].str() : "";
}

TEST_F(PackageTest, package_holds_the_printer_and_its_scripts_add_and_remove_it) {
    std::string out;
    ASSERT_EQ(
        Run("cd '" + root_.string() + "' && cpack --config '" SW_BINARY_DIR "/CPackConfig.cmake' -B out",
            &out),
        0)
        << out;
    std::smatch version;
    const std::string cmakeCache = ReadText(SW_BINARY_DIR "/CMakeCache.txt");
    ASSERT_TRUE(std::regex_search(cmakeCache, version, std::regex("CMAKE_PROJECT_VERSION:STATIC=([0-9.]+)")));
    ASSERT_EQ(Run("dpkg --print-architecture", &out), 0);
    const fs::path deb =
        root_ / "out" / ("sheetwise_" + version[1].str() + "_" + out.substr(0, out.find('\n')) + ".deb");
    ASSERT_TRUE(fs::exists(deb)) << deb;

    // Files, with the backend private to root as the scheduler needs.
    ASSERT_EQ(Run("dpkg-deb -c '" + deb.string() + "'", &out), 0) << out;
    const std::string list = out;
    for (const char* entry :
         {"-rwxr-xr-x root/root .* ./usr/lib/sheetwise/SheetwiseSetup\n",
          "-rwxr-xr-x root/root .* ./usr/lib/sheetwise/SheetwiseParser\n",
          "-rwxr-xr-x root/root .* ./usr/lib/sheetwise/PdfUnpack\n", "./usr/lib/sheetwise/libKVLib.so.0 -> ",
          "-rwx------ root/root .* ./usr/lib/sheetwise/sheetwise\n",
          "-rw-r--r-- root/root .* ./usr/lib/sheetwise/sheetwise.ppd\n",
          "./usr/bin/SheetwiseParser -> ../lib/sheetwise/SheetwiseParser\n",
          "./usr/share/doc/sheetwise/copyright\n", "./usr/share/doc/sheetwise/changelog.gz\n",
          "-rw-r--r-- root/root .* ./usr/share/applications/sheetwise-profile-editor.desktop\n",
          "-rw-r--r-- root/root .* ./usr/share/icons/hicolor/scalable/apps/sheetwise.svg\n"}) {
        EXPECT_TRUE(std::regex_search(out, std::regex(entry))) << entry << "\n" << out;
    }

    // Every library a program links comes from a declared dependency.
    const fs::path unpacked = root_ / "unpacked";
    ASSERT_EQ(Run("dpkg-deb -x '" + deb.string() + "' '" + unpacked.string() + "' && dpkg-deb -e '" +
                      deb.string() + "' '" + (root_ / "control").string() + "'",
                  &out),
              0)
        << out;
    // The editor's menu entry starts a program on the path and shows the
    // package's icon; the session agent's autostart entry and user unit
    // start the agent the package holds.
    const std::string menu = ReadText(unpacked / "usr/share/applications/sheetwise-profile-editor.desktop");
    EXPECT_TRUE(fs::is_regular_file(unpacked / "usr/bin" / Value(menu, "Exec"))) << menu;
    EXPECT_TRUE(fs::is_regular_file(unpacked / "usr/share/icons/hicolor/scalable/apps" /
                                    (Value(menu, "Icon") + ".svg")))
        << menu;
    const std::string autostart = ReadText(unpacked / "etc/xdg/autostart/sheetwise-agent.desktop");
    const std::string unit = ReadText(unpacked / "usr/lib/systemd/user/sheetwise-agent.service");
    EXPECT_EQ(Value(autostart, "Exec"), "/usr/lib/sheetwise/SheetwiseAgent") << autostart;
    EXPECT_EQ(Value(unit, "ExecStart"), "/usr/lib/sheetwise/SheetwiseAgent") << unit;
    for (const char* program : {"SheetwiseAgent", "KVPrintMonitor"}) {
        EXPECT_TRUE(std::regex_search(
            list, std::regex(std::string("-rwxr-xr-x root/root .* ./usr/lib/sheetwise/") + program + "\n")))
            << program;
    }
    const std::string depends = ReadText(root_ / "control" / "control");
    for (const char* needed :
         {"cups-daemon", "cups-filters", "libcups2", "libpoppler-cpp", "libsqlite3", "libtinyxml", "zlib1g",
          "libisal", "libminizip", "libfreetype", "libfontconfig"}) {
        EXPECT_NE(depends.find(needed), std::string::npos) << needed << "\n" << depends;
    }
    const std::string control = (root_ / "control" / "control").string();
    ASSERT_EQ(
        Run("cd '" + unpacked.string() + "' && sed -n 's/^Depends: //p' '" + control +
                "' | tr ',' '\\n' | sed 's/^ *//; s/ .*//' >../declared && for f in usr/lib/sheetwise/*; do "
                "objdump -p \"$f\" 2>/dev/null | awk '/NEEDED/ {print $2}'; "
                "done | sort -u | grep -v '^libKVLib' | while read lib; do "
                "path=$(ldconfig -p | awk -v l=\"$lib\" '$1 == l && /x86-64/ {print $NF}' | head -1); "
                "pkg=$( (dpkg -S \"$path\" || dpkg -S \"/usr$path\") 2>/dev/null | sed -n '1s/:.*//p'); "
                "if [ -z \"$pkg\" ] || ! grep -qxF \"$pkg\" ../declared; then echo \"undeclared: $lib "
                "($pkg)\"; fi; done",
            &out),
        0);
    EXPECT_EQ(out, "") << depends;

    // The scripts run the installer without windows or questions.
    const std::string postinst = ReadText(root_ / "control" / "postinst");
    EXPECT_NE(postinst.find(
                  "env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME=\"$store\" \"$setup\" -install -WINNT "
                  "-Silent \\\n                -INSTALLDIR \"$DPKG_ROOT/usr/lib/sheetwise/\""),
              std::string::npos)
        << postinst;
    EXPECT_NE(ReadText(root_ / "control" / "prerm").find("\"$setup\" -uninstall"), std::string::npos);
    // Every file under /etc is a conffile.
    std::string etcFiles;
    std::istringstream lines(list);
    for (std::string line; std::getline(lines, line);) {
        const auto at = line.find(" ./etc/");
        if (line.rfind('-', 0) == 0 && at != std::string::npos) {
            etcFiles += line.substr(at + 2) + "\n";
        }
    }
    EXPECT_EQ(ReadText(root_ / "control" / "conffiles"), etcFiles);

    ASSERT_EQ(Run("lintian --fail-on error '" + deb.string() + "'", &out), 0) << out;

    if (::geteuid() != 0) {
        GTEST_SKIP() << "installing into a scratch root needs root";
    }
    const fs::path scratch = root_ / "scratch";
    for (const char* dir : {"var/lib/dpkg/info", "var/lib/dpkg/updates", "var/lib/dpkg/triggers"}) {
        fs::create_directories(scratch / dir);
    }
    WriteText(scratch / "var/lib/dpkg/status", "");
    WriteText(scratch / "var/lib/dpkg/available", "");
    const std::string dpkg =
        "dpkg --root='" + scratch.string() + "' --force-script-chrootless --force-depends --log=/dev/null ";
    ASSERT_EQ(Run(dpkg + "-i '" + deb.string() + "'", &out), 0) << out;
    ASSERT_EQ(Run("lpstat -l -p Sheetwise_Print_Driver; lpstat -v", &out), 0) << out;
    EXPECT_NE(out.find("Description: Sheetwise Print Driver"), std::string::npos) << out;
    EXPECT_NE(out.find("sheetwise:/Sheetwise%20Port"), std::string::npos) << out;
    EXPECT_NE(ReadText(root_ / "printers" / "Sheetwise_Print_Driver.conf")
                  .find("Parameter307=" + scratch.string() + "/usr/lib/sheetwise/KVPrintMonitor"),
              std::string::npos);

    ASSERT_EQ(Run(dpkg + "-P sheetwise", &out), 0) << out;
    EXPECT_FALSE(QueueExists(kQueue));
    EXPECT_FALSE(fs::exists(backend_ / "sheetwise"));
    EXPECT_FALSE(fs::exists(scratch / "usr/lib/sheetwise"));
}

}  // namespace
