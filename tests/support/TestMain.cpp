// Test entry point: every test process runs in a private world. HOME, the
// XDG folders and TMPDIR point into a fresh temporary folder, the session bus
// is disabled unless a test starts its own, and the system bus points nowhere
// so that nothing can reach the real power manager.
#include <QApplication>
#include <QByteArray>
#include <QDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string makeRoot()
{
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/trelvio-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        std::abort();
    return std::string(buf.data());
}

void setDir(const char* var, const std::string& path, mode_t mode = 0700)
{
    mkdir(path.c_str(), mode);
    setenv(var, path.c_str(), 1);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string root = makeRoot();
    setDir("HOME", root + "/home");
    setDir("XDG_CONFIG_HOME", root + "/config");
    setDir("XDG_DATA_HOME", root + "/data");
    setDir("XDG_CACHE_HOME", root + "/cache");
    setDir("XDG_STATE_HOME", root + "/state");
    setDir("XDG_RUNTIME_DIR", root + "/runtime");
    setDir("TMPDIR", root + "/tmp");
    unsetenv("XDG_CONFIG_DIRS");
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/trelvio-test-session-bus", 1);
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/trelvio-test-system-bus", 1);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    int rc = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        rc = RUN_ALL_TESTS();
    }
    if (!std::getenv("TRELVIO_KEEP_TEST_ROOT"))
        QDir(QString::fromStdString(root)).removeRecursively();
    return rc;
}
