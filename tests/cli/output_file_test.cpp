// accounts -o: what the path names is what gets the output, whole or not at
// all, and nothing else in its folder changes, whatever happens.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "cli_test_support.h"
#include "terminal_session.h"

namespace sipcrypt::testing {
namespace {

const std::string csv = header + "\nalice,b,c,d\n";
const std::string encrypted_csv =
    header + "\nQPJLUKCpC3c=,9/7rnzksAxg=,Gxos3GrD4a8=,6FE5TAxsEao=\n";

void write(const Folder& folder, const std::string& name, const std::string& text, mode_t mode) {
    folder.write(name, text);
    ::chmod((folder / name).c_str(), mode);
}

struct stat info_of(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

ProcessResult accounts_to(const std::string& output, const std::string& input = csv,
                          const std::map<std::string, std::string>& env = secret_env) {
    return sipcrypt({"accounts", "--password-env", "SIP_KEY", "-o", output}, input, env);
}

TEST(OutputFile, WritesThroughLinksAndIntoWhatIsNotAPlainFile) {
    Folder folder;
    // A symbolic link stays one; the file it names gets the output, also
    // when that file does not exist yet.
    write(folder, "target", "old\n", 0644);
    ::symlink("target", (folder / "link").c_str());
    ::symlink("new", (folder / "dangling").c_str());
    for (const char* link : {"link", "dangling"}) {
        const auto r = accounts_to(folder / link);
        EXPECT_EQ(r.exit_status, 0) << r.err;
        EXPECT_TRUE(S_ISLNK(info_of(folder / link).st_mode)) << link;
    }
    EXPECT_EQ(folder.read("target"), encrypted_csv);
    EXPECT_EQ(folder.read("new"), encrypted_csv);
    // The file it made goes again when the run fails.
    ::symlink("unmade", (folder / "refused").c_str());
    EXPECT_EQ(accounts_to(folder / "refused", header + "\nalice,b,c\n").exit_status, 1);
    ::unlink((folder / "refused").c_str());

    // Two names of one file both show the output, and nothing of the old,
    // longer contents.
    write(folder, "first", std::string(500, 'o') + "\n", 0644);
    ::link((folder / "first").c_str(), (folder / "second").c_str());
    EXPECT_EQ(accounts_to(folder / "second").exit_status, 0);
    EXPECT_EQ(folder.read("first"), encrypted_csv);
    EXPECT_EQ(info_of(folder / "first").st_nlink, 2u);

    // A name as long as the folder allows is replaced all the same.
    const std::string long_name = std::string(251, 'n') + ".csv";
    write(folder, long_name, "old\n", 0644);
    const auto long_named = accounts_to(folder / long_name);
    EXPECT_EQ(long_named.exit_status, 0) << long_named.err;
    EXPECT_EQ(folder.read(long_name), encrypted_csv);
    ::unlink((folder / long_name).c_str());

    // A FIFO stays a FIFO, and its reader gets the output.
    ::mkfifo((folder / "fifo").c_str(), 0644);
    // Open for writing too, so that the reader never waits on the tool to
    // open it, and never sees an end: it reads what comes within a time.
    const int fifo = ::open((folder / "fifo").c_str(), O_RDWR | O_NONBLOCK);
    const auto through_fifo = accounts_to(folder / "fifo");
    std::string from_fifo;
    for (int wait = 0; wait < 100 && from_fifo.size() < encrypted_csv.size(); ++wait) {
        char buffer[512];
        const ssize_t n = ::read(fifo, buffer, sizeof buffer);
        if (n > 0) from_fifo.append(buffer, static_cast<std::size_t>(n));
        if (n <= 0) ::usleep(10 * 1000);
    }
    ::close(fifo);
    EXPECT_EQ(through_fifo.exit_status, 0) << through_fifo.err;
    EXPECT_EQ(from_fifo, encrypted_csv);
    EXPECT_TRUE(S_ISFIFO(info_of(folder / "fifo").st_mode));

    // A device node (a terminal of the test's own) is written, not replaced.
    int master = -1, slave = -1;
    char device[256];
    ASSERT_EQ(::openpty(&master, &slave, device, nullptr, nullptr), 0);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    EXPECT_EQ(accounts_to(device).exit_status, 0);
    EXPECT_TRUE(S_ISCHR(info_of(device).st_mode));
    char shown[512] = {};
    pollfd readable = {master, POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 5000), 1) << "nothing reached the terminal";
    EXPECT_EQ(::read(master, shown, sizeof shown), static_cast<ssize_t>(encrypted_csv.size()));
    EXPECT_EQ(std::string(shown), encrypted_csv);
    ::close(master);
    ::close(slave);

    const auto directory = accounts_to(folder / ".");
    EXPECT_EQ(directory.exit_status, 1);
    EXPECT_NE(directory.err.find(": is a folder"), std::string::npos) << directory.err;

    EXPECT_EQ(folder.names(), (std::vector<std::string>{"dangling", "fifo", "first", "link", "new",
                                                        "second", "target"}));
}

// Each row is a shell command line, with "$S" for the tool reading F/in.csv
// and "$F" for the test's folder; afterwards a file there holds `expected`.
TEST(OutputFile, DescriptorsAreWrittenAsTheyAreOpenAndFilesAreReplacedSynced) {
    struct Case {
        std::string script, file, expected;
    };
    const std::string tool = "\"$S\" accounts --password-env SIP_KEY -i \"$F/in.csv\"";
    const Case cases[] = {
        {"printf 'x\\n' > \"$F/log\"; " + tool + " -o /dev/stdout >> \"$F/log\"", "log",
         "x\n" + encrypted_csv},
        {"printf 'x\\n' > \"$F/log\"; exec 3>>\"$F/log\"; " + tool + " -o /dev/fd/3", "log",
         "x\n" + encrypted_csv},
        {"{ echo '# head'; " + tool + " -o /dev/stdout; } > \"$F/log\"", "log",
         "# head\n" + encrypted_csv},
        {tool + " -o /proc/self/fd/1 | cat > \"$F/log\"", "log", encrypted_csv},
        {"printf 'a\\nb\\n' > \"$F/log\"; " + tool + " -o /proc/thread-self/fd/1 >> \"$F/log\"",
         "log", "a\nb\n" + encrypted_csv},
        {"printf 'a\\n' > \"$F/log\"; exec " + tool + " -o /proc/$$/task/$$/fd/1 >> \"$F/log\"",
         "log", "a\n" + encrypted_csv},
        {tool + " -o /dev/fd/3 3>&1 | cat > \"$F/log\"", "log", encrypted_csv},
        {"ln -s /dev/stdout \"$F/link\"; " + tool + " -o \"$F/link\" > \"$F/log\"", "log",
         encrypted_csv},
        {tool + " -o /dev/fd/3 3<\"$F/in.csv\" 2>\"$F/err\"; echo $? >> \"$F/err\"", "err",
         "sipcrypt: /dev/fd/3: not open for writing\n1\n"},
        {tool + " 1<\"$F/in.csv\" 2>\"$F/err\"; echo $? >> \"$F/err\"", "err",
         "sipcrypt: standard output: not open for writing\n1\n"},
        // The file is synced before it replaces the target, and the folder
        // after, so that a crash leaves the old file or the whole new one.
        // (LeakSanitizer cannot run under strace.)
        {"printf 'old\\n' > \"$F/out.csv\"; strace -f -qq -o \"$F/trace\" "
         "-e trace=fsync,rename,renameat,renameat2 env ASAN_OPTIONS=detect_leaks=0 " +
             tool +
             " -o \"$F/out.csv\" && sed -E 's/^([0-9]+ +)?(fsync|rename)[a-z0-9]*\\(.*/\\2/' "
             "\"$F/trace\" | tr '\\n' ' ' > \"$F/calls\"",
         "calls", "fsync rename fsync "},
        // A file with two names is rewritten in place: under a lock, with the
        // signals that would end the tool held, its new size taken before the
        // first byte of it is written, and cut and synced before the lock goes.
        {"printf 'old\\n' > \"$F/out.csv\"; ln \"$F/out.csv\" \"$F/other\"; strace -qq -o "
         "\"$F/trace\" -e trace=flock,rt_sigprocmask,write,ftruncate,fsync env "
         "ASAN_OPTIONS=detect_leaks=0 " +
             tool +
             " -o \"$F/out.csv\" && sed -n '/^flock/,/LOCK_UN/p' \"$F/trace\" | sed -E "
             "-e 's/^write\\([0-9]+, \"\\\\0.*/zeros/' -e 's/^([a-z_]+)\\(.*/\\1/' | tr "
             "'\\n' ' ' > \"$F/calls\"",
         "calls", "flock rt_sigprocmask zeros write ftruncate fsync rt_sigprocmask flock "},
    };
    for (const auto& c : cases) {
        Folder folder;
        folder.write("in.csv", csv);
        const auto r =
            run_process("/bin/sh", {"-c", c.script}, {},
                        {{"SIP_KEY", "secret"}, {"S", SIPCRYPT_BINARY}, {"F", folder / ""}});
        EXPECT_EQ(r.exit_status, 0) << c.script << "\n" << r.err;
        EXPECT_EQ(folder.read(c.file), c.expected) << c.script;
    }
}

TEST(OutputFile, AReplacedFileKeepsItsModeOwnerAccessListAndAttributes) {
    Folder folder;
    write(folder, "shared.csv", "old\n", 0640);
    EXPECT_EQ(accounts_to(folder / "shared.csv").exit_status, 0);
    EXPECT_EQ(folder.read("shared.csv"), encrypted_csv);
    EXPECT_EQ(info_of(folder / "shared.csv").st_mode & 07777, 0640u);

    // A new file is for its owner's eyes only.
    EXPECT_EQ(accounts_to(folder / "new.csv").exit_status, 0);
    EXPECT_EQ(info_of(folder / "new.csv").st_mode & 07777, 0600u);

    if (::geteuid() == 0) {
        ASSERT_EQ(::chown((folder / "shared.csv").c_str(), 65534, 65534), 0);
        EXPECT_EQ(accounts_to(folder / "shared.csv").exit_status, 0);
        EXPECT_EQ(info_of(folder / "shared.csv").st_uid, 65534u);
        EXPECT_EQ(info_of(folder / "shared.csv").st_gid, 65534u);
    }

    // What getfacl and getfattr show of a file is the same after.
    const std::string show =
        "cd \"$F\" && getfacl -n shared.csv && getfattr -d -m - shared.csv && stat -c %A "
        "shared.csv";
    const std::map<std::string, std::string> in_folder = {{"F", folder / ""}};
    const auto set = run_process("/bin/sh",
                                 {"-c",
                                  "cd \"$F\" && setfacl -m u:65534:rw shared.csv && "
                                  "setfattr -n user.origin -v spreadsheet shared.csv"},
                                 {}, in_folder);
    if (set.exit_status != 0) GTEST_SKIP() << "no access lists or attributes here: " << set.err;
    const auto before = run_process("/bin/sh", {"-c", show}, {}, in_folder);
    ASSERT_NE(before.out.find("user.origin=\"spreadsheet\""), std::string::npos) << before.out;
    EXPECT_EQ(accounts_to(folder / "shared.csv").exit_status, 0);
    EXPECT_EQ(folder.read("shared.csv"), encrypted_csv);
    EXPECT_EQ(run_process("/bin/sh", {"-c", show}, {}, in_folder).out, before.out);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"new.csv", "shared.csv"}));
}

// A user who may not write the target is refused before any work, and the
// file stays as it was. Run as nobody when the tests run as root.
// Another user's files: what that user may not write is refused before any
// work; what they may write but not replace (a read-only folder, or /tmp's
// sticky bit on a file they do not own) is written in place.
TEST(OutputFile, AnotherUsersTargetIsRefusedOrWrittenInPlaceAsItsFolderAllows) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to act as another user";
    const struct {
        mode_t file_mode, folder_mode;
        int exit_status;
        std::string err, content;
    } rows[] = {
        {0444, 0777, 1, "target.csv: permission denied", "old\n"},
        {0666, 01777, 0, "", encrypted_csv},
        {0666, 0555, 0, "", encrypted_csv},
    };
    for (const auto& row : rows) {
        Folder folder;
        write(folder, "target.csv", "old\n", row.file_mode);
        ::chmod((folder / ".").c_str(), row.folder_mode);
        const std::vector<std::string> command = {
            "--reuid=65534",      "--regid=65534",  "--clear-groups", SIPCRYPT_BINARY,
            "accounts",           "--password-env", "SIP_KEY",        "-o",
            folder / "target.csv"};
        const auto r = run_process("/usr/bin/setpriv", command, csv, secret_env);
        EXPECT_EQ(r.exit_status, row.exit_status) << r.err;
        if (!row.err.empty()) {
            EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        }
        EXPECT_EQ(folder.read("target.csv"), row.content) << r.err;
        EXPECT_EQ(folder.names(), std::vector<std::string>{"target.csv"});
        ::chmod((folder / ".").c_str(), 0777);
    }
}

// Whole or nothing: a refused row, a file-size limit on the way, and the
// signals that end the tool all leave the target as it was and no
// temporary file beside it.
TEST(OutputFile, FailuresLeaveTheTargetAsItWasAndNothingBeside) {
    Folder folder;
    folder.write("out.csv", "old\n");
    std::string big = header + "\n";
    for (int i = 0; i < 2000; ++i) big += "alice" + std::to_string(i) + ",b,c,d\n";

    EXPECT_EQ(accounts_to(folder / "out.csv", header + "\nalice,b,c\n").exit_status, 1);
    EXPECT_EQ(folder.read("out.csv"), "old\n");

    // A file-size limit: writes fail part way, with SIGXFSZ ignored.
    for (const std::string& output : {folder / "out.csv", std::string("-")}) {
        const auto r =
            run_process("/bin/sh",
                        {"-c", "ulimit -f 20; trap '' XFSZ; exec " + std::string(SIPCRYPT_BINARY) +
                                   " accounts --password-env SIP_KEY -o " + output},
                        big, {{"SIP_KEY", "secret"}, {"TMPDIR", folder / "."}});
        EXPECT_EQ(r.exit_status, 1) << output;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
        if (output == "-") {
            EXPECT_NE(
                r.err.find("TMPDIR (" + folder / "." + "): cannot write the temporary file there"),
                std::string::npos)
                << r.err;
        }
    }
    EXPECT_EQ(folder.read("out.csv"), "old\n");

    // With an unnamed spool, and with a named one where the file system has
    // none; its folder renamed meanwhile, too. KILL cannot be caught: only an
    // unnamed spool is sure to go with it.
    ASSERT_EQ(::mkdir((folder / "B").c_str(), 0700), 0);
    ::rename((folder / "out.csv").c_str(), (folder / "B/out.csv").c_str());
    const struct {
        bool named;
        int signal_number;
        bool renamed;
    } rows[] = {{false, SIGTERM, false}, {false, SIGKILL, false}, {false, SIGPIPE, false},
                {true, SIGTERM, false},  {true, SIGINT, false},   {true, SIGHUP, false},
                {true, SIGPIPE, false},  {true, SIGUSR1, false},  {true, SIGALRM, false},
                {true, SIGTERM, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << "signal " << row.signal_number << (row.named ? ", named" : "")
                     << (row.renamed ? ", folder renamed" : ""));
        ProcessSetup setup;
        setup.environment = secret_env;
        // The sanitizer's runtime would have to come first.
        if (row.named) {
            setup.environment["LD_PRELOAD"] = NO_UNNAMED_FILES;
            setup.environment["ASAN_OPTIONS"] = "verify_asan_link_order=0";
        }
        ChildProcess child(SIPCRYPT_BINARY,
                           {"accounts", "--password-env", "SIP_KEY", "-o", folder / "B/out.csv"},
                           setup);
        child.write_input(big);  // and more to come: the tool waits for it
        // Until the tool has its file open beside the target.
        const std::string descriptors = "/proc/" + std::to_string(child.pid()) + "/fd";
        bool open_beside = false;
        for (int wait = 0; wait < 500 && !open_beside; ++wait) {
            for (const auto& entry : std::filesystem::directory_iterator(descriptors)) {
                std::error_code ignored;
                const auto target = std::filesystem::read_symlink(entry.path(), ignored);
                if (target.string().rfind(folder / "B/", 0) == 0) open_beside = true;
            }
            if (!open_beside) ::usleep(10 * 1000);
        }
        EXPECT_TRUE(open_beside);
        if (row.renamed) {
            ::rename((folder / "B").c_str(), (folder / "C").c_str());
            ASSERT_EQ(::mkdir((folder / "B").c_str(), 0700), 0);
            folder.write("B/out.csv", "new\n");
        }
        ::kill(child.pid(), row.signal_number);
        EXPECT_EQ(child.wait().signal, row.signal_number);
        if (row.renamed) {
            EXPECT_EQ(folder.read("B/out.csv"), "new\n");
            std::filesystem::remove_all(folder / "B");
            ::rename((folder / "C").c_str(), (folder / "B").c_str());
        }
        EXPECT_EQ(folder.read("B/out.csv"), "old\n");
        EXPECT_EQ(std::filesystem::directory_iterator(folder / "B")->path().filename(), "out.csv");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "B"), {}), 1);
    }
}

// Waits until the folder's file `name` holds `text`; false after ten seconds.
bool shows(const Folder& folder, const std::string& name, const std::string& text) {
    for (int wait = 0; wait < 1000; ++wait) {
        if (folder.read(name).find(text) != std::string::npos) return true;
        ::usleep(10 * 1000);
    }
    return false;
}

// What the tool waits for, it says it waits for, and it goes on when that
// comes: a reader of a FIFO, and the lock of another writer of a file that
// is rewritten in place.
TEST(OutputFile, WaitsAreSaidAndEndWhenTheOtherSideComes) {
    Folder folder;
    folder.write("in.csv", csv);
    const auto start = [&](const std::string& output) {
        ProcessSetup setup;
        setup.environment = {{"SIP_KEY", "secret"}, {"S", SIPCRYPT_BINARY}, {"F", folder / ""}};
        return std::make_unique<ChildProcess>(
            "/bin/sh",
            std::vector<std::string>{"-c",
                                     "exec \"$S\" accounts --password-env SIP_KEY -i "
                                     "\"$F/in.csv\" -o \"$F/" +
                                         output + "\" 2>\"$F/err\""},
            setup);
    };

    ::mkfifo((folder / "fifo").c_str(), 0600);
    auto to_fifo = start("fifo");
    EXPECT_TRUE(shows(folder, "err", "fifo: waiting for a program to read the FIFO"))
        << folder.read("err");
    EXPECT_EQ(folder.read("fifo"), encrypted_csv);  // reads to the writer's end
    EXPECT_EQ(to_fifo->wait().exit_status, 0) << folder.read("err");

    write(folder, "out.csv", "old\n", 0644);
    ::link((folder / "out.csv").c_str(), (folder / "other").c_str());
    const int locked = ::open((folder / "out.csv").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(locked, LOCK_EX), 0);
    auto to_locked = start("out.csv");
    EXPECT_TRUE(shows(folder, "err", "out.csv: waiting while another program writes it"))
        << folder.read("err");
    EXPECT_EQ(folder.read("out.csv"), "old\n");
    ::close(locked);
    EXPECT_EQ(to_locked->wait().exit_status, 0) << folder.read("err");
    EXPECT_EQ(folder.read("other"), encrypted_csv);
}

// What the file system forbids of a target is found before the password is
// asked for: chattr's flags, and a link the kernel will not follow
// (fs.protected_symlinks: another user's link in a sticky folder).
TEST(OutputFile, WhatTheFileSystemForbidsIsRefusedBeforeThePassword) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, for chattr and another user's link";
    Folder folder;
    folder.write("in.csv", csv);
    const struct {
        std::string prepare, output, message;
    } rows[] = {
        {"printf 'old\\n' > out.csv && chattr +a out.csv", "out.csv",
         "out.csv: the file may only be appended to (chattr +a), not rewritten"},
        {"printf 'old\\n' > out.csv && chattr +i out.csv", "out.csv",
         "out.csv: the file may not be changed (chattr +i)"},
        {"mkdir fixed && chattr +i fixed", "fixed/new.csv",
         "fixed/new.csv: its folder may not be changed (chattr +i)"},
        {"$PROTECTED && chmod 1777 . && echo victim > victim && ln -s \"$F/victim\" link && chown "
         "-h 65534 link",
         "link", "link: permission denied"},
        {"$PROTECTED && chmod 1777 . && ln -s \"$F/nowhere\" dangling && chown -h 65534 dangling",
         "dangling", "dangling: permission denied"},
    };
    std::ifstream protected_now("/proc/sys/fs/protected_symlinks");
    std::string protected_before;
    std::getline(protected_now, protected_before);
    std::ofstream("/proc/sys/fs/protected_symlinks") << "1\n";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.prepare);
        const auto prepared = run_process(
            "/bin/sh", {"-c", "cd \"$F\" && " + row.prepare}, {},
            {{"F", folder / ""}, {"PROTECTED", "grep -qx 1 /proc/sys/fs/protected_symlinks"}});
        if (prepared.exit_status != 0) {
            std::cout << "not tried here: " << row.prepare << ": " << prepared.err;
            continue;
        }
        const auto before = folder.names();
        TerminalSession terminal({"accounts", "-i", folder / "in.csv", "-o", folder / row.output});
        EXPECT_EQ(terminal.next_event(), "exited 1");
        const std::string& screen = terminal.finish();
        EXPECT_NE(screen.find(row.message), std::string::npos) << screen;
        EXPECT_EQ(screen.find("Password"), std::string::npos) << screen;
        EXPECT_EQ(folder.names(), before);
        run_process("/bin/sh", {"-c", "cd \"$F\" && chattr -R -a -i . ; chmod 0777 ."}, {},
                    {{"F", folder / ""}});
    }
    std::ofstream("/proc/sys/fs/protected_symlinks") << protected_before << "\n";
    if (std::filesystem::exists(folder / "victim")) {
        EXPECT_EQ(folder.read("victim"), "victim\n");
    }

    // A folder that may only grow, or not change, keeps its names: its file
    // is rewritten in place.
    ::chmod((folder / ".").c_str(), 0777);
    ASSERT_EQ(::mkdir((folder / "kept").c_str(), 0777), 0);
    for (const std::string flag : {"a", "i"}) {
        folder.write("kept/out.csv", "old\n");
        run_process("/usr/bin/chattr", {"+" + flag, folder / "kept"});
        EXPECT_EQ(accounts_to(folder / "kept/out.csv").exit_status, 0) << flag;
        EXPECT_EQ(folder.read("kept/out.csv"), encrypted_csv) << flag;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "kept"), {}), 1);
        run_process("/usr/bin/chattr", {"-" + flag, folder / "kept"});
    }
}

TEST(OutputFile, TemporaryFolderProblemsNameTmpdir) {
    const auto r = sipcrypt({"accounts", "--password-env", "SIP_KEY"}, csv,
                            {{"SIP_KEY", "secret"}, {"TMPDIR", "/nonexistent"}});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_NE(r.err.find("TMPDIR (/nonexistent): cannot make a temporary file there: No such file "
                         "or directory"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace sipcrypt::testing
