// The remote console's rules that take minutes or many files to see from
// outside, in this process: the lock-out on a test clock, the password
// comparison, and the settings file's verdicts.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "Files.h"
#include "ScratchTree.h"
#include "remote/MetricsSettings.h"
#include "remote/RefusalLog.h"
#include "remote/RemoteSettings.h"
#include "remote/SignInGuard.h"

namespace {

using remote::Refusal;
using remote::SignInGuard;
using remote::SignInVerdict;

constexpr std::uint32_t kOne = 0x7F000002, kOther = 0x7F000003;
constexpr std::uint64_t kSecond = 1000;

TEST(LockOut, FiveWrongPasswordsWithinAMinuteLockTheAddressForFiveMinutes) {
    SignInGuard guard;
    const std::uint64_t t0 = 1'000'000;
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(guard.Failed(kOne, t0 + i * 10 * kSecond).lockedOut) << i;
    EXPECT_NE(guard.Verdict(kOne, t0 + 40 * kSecond), SignInVerdict::kLockedOut);
    EXPECT_TRUE(guard.Failed(kOne, t0 + 59 * kSecond).lockedOut);
    EXPECT_EQ(guard.Verdict(kOne, t0 + 59 * kSecond), SignInVerdict::kLockedOut);
    EXPECT_NE(guard.Verdict(kOther, t0 + 59 * kSecond), SignInVerdict::kLockedOut);
    // Tries while locked out neither lengthen nor report the lock-out again.
    EXPECT_FALSE(guard.Failed(kOne, t0 + 100 * kSecond).lockedOut);
    EXPECT_EQ(guard.Verdict(kOne, t0 + 59 * kSecond + 300 * kSecond - 1), SignInVerdict::kLockedOut);
    EXPECT_NE(guard.Verdict(kOne, t0 + 59 * kSecond + 300 * kSecond), SignInVerdict::kLockedOut);
    // Afterwards the count starts afresh.
    const std::uint64_t t1 = t0 + 400 * kSecond;
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(guard.Failed(kOne, t1 + i).lockedOut) << i;
    EXPECT_TRUE(guard.Failed(kOne, t1 + 4).lockedOut);
}

TEST(LockOut, FailuresSpreadOverMoreThanAMinuteDoNotLock) {
    SignInGuard guard;
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(guard.Failed(kOne, 5'000'000 + i * 15 * kSecond).lockedOut) << i;
    EXPECT_NE(guard.Verdict(kOne, 5'000'000 + 20 * 15 * kSecond), SignInVerdict::kLockedOut);
}

TEST(LockOut, RotatingOverManyAddressesMeetsTheBudgetOverAll) {
    SignInGuard guard;
    constexpr std::uint32_t kAdmin = 0x7F000001;
    guard.SignedIn(kAdmin);
    // Six wrong passwords from each of 1,090 addresses, one every 1.5 ms.
    std::uint64_t now = 10'000'000;
    int tried = 0, lockOuts = 0, pauses = 0;
    for (std::uint32_t a = 0; a < 1090; ++a)
        for (int i = 0; i < 6; ++i, now += 2)
            if (guard.Verdict(0x0A000000 + a, now) == SignInVerdict::kMayTry) {
                ++tried;
                const SignInGuard::Outcome outcome = guard.Failed(0x0A000000 + a, now);
                lockOuts += outcome.lockedOut;
                pauses += outcome.paused;
            }
    EXPECT_EQ(tried, SignInGuard::kMostFailuresOverall);
    EXPECT_EQ(lockOuts, SignInGuard::kMostFailuresOverall / SignInGuard::kFailures);
    EXPECT_EQ(pauses, 1);
    // The pause holds new addresses for a minute; one that signed in before may try.
    EXPECT_EQ(guard.Verdict(0x0B000001, now), SignInVerdict::kPaused);
    EXPECT_EQ(guard.Verdict(kAdmin, now), SignInVerdict::kMayTry);
    now += SignInGuard::kPause;
    EXPECT_EQ(guard.Verdict(0x0B000001, now), SignInVerdict::kMayTry);
    EXPECT_EQ(guard.Verdict(0x0A000000, now), SignInVerdict::kLockedOut);
}

TEST(LockOut, ALockOutIsNeverCutShortAndAFullTableRefusesNewAddresses) {
    SignInGuard guard;
    const std::uint64_t t0 = 20'000'000;
    for (std::uint32_t a = 0; a < SignInGuard::kMostAddresses; ++a)
        for (int i = 0; i < SignInGuard::kFailures; ++i) guard.Failed(0x0A000000 + a, t0);
    const std::uint64_t later = t0 + 2 * SignInGuard::kPause;  // the pause is over, the lock-outs are not
    EXPECT_EQ(guard.Verdict(0x0B000001, later), SignInVerdict::kFull);
    for (int i = 0; i < 10; ++i) guard.Failed(0x0B000000 + i, later);
    for (std::uint32_t a = 0; a < SignInGuard::kMostAddresses; ++a)
        ASSERT_EQ(guard.Verdict(0x0A000000 + a, later), SignInVerdict::kLockedOut) << a;
    EXPECT_EQ(guard.Verdict(0x0B000001, t0 + SignInGuard::kLockOut), SignInVerdict::kMayTry);
}

TEST(RefusalLog, TheFirstIsLoggedAndTheRestCountedOnceAMinute) {
    remote::RefusalLog log;
    const std::uint64_t t0 = 30'000'000;
    constexpr std::uint32_t kHostile = 0x7F000004;
    EXPECT_TRUE(log.Note(kHostile, Refusal::kMalformed, t0));
    EXPECT_TRUE(log.Note(kHostile, Refusal::kSignInTime, t0));  // another kind
    EXPECT_TRUE(log.Due(t0 - 5).empty());  // a clock read a little earlier changes nothing
    for (int i = 1; i < 2000; ++i) EXPECT_FALSE(log.Note(kHostile, Refusal::kMalformed, t0 + i)) << i;
    EXPECT_TRUE(log.Due(t0 + 59'999).empty());
    EXPECT_EQ(log.Due(t0 + 60'000),
              std::vector<std::string>{"... and 1,999 more malformed packets from 127.0.0.4 in the last minute"});
    // Still going: counted on; a quiet minute, and the next is whole again.
    EXPECT_FALSE(log.Note(kHostile, Refusal::kMalformed, t0 + 70'000));
    EXPECT_EQ(log.Due(t0 + 120'000),
              std::vector<std::string>{"... and 1 more malformed packets from 127.0.0.4 in the last minute"});
    EXPECT_TRUE(log.Due(t0 + 180'000).empty());
    EXPECT_TRUE(log.Note(kHostile, Refusal::kMalformed, t0 + 181'000));
    EXPECT_EQ(log.Total(), 2003u);
}

TEST(RefusalLog, ManyAddressesShareOneBudgetOfWholeLines) {
    remote::RefusalLog log;
    const std::uint64_t t0 = 40'000'000;
    int whole = 0;
    for (std::uint32_t a = 0; a < 1000; ++a) whole += log.Note(0x0A000000 + a, Refusal::kConnection, t0 + a);
    EXPECT_EQ(whole, remote::RefusalLog::kMostFirstLines);
    EXPECT_EQ(log.Due(t0 + 1000, true),
              std::vector<std::string>{"... and 980 more refused connections from other addresses in the last minute"});
}

TEST(Password, OnlyTheSameBytesMatch) {
    EXPECT_TRUE(remote::SamePassword("correct horse", "correct horse"));
    EXPECT_FALSE(remote::SamePassword("correct hors", "correct horse"));
    EXPECT_FALSE(remote::SamePassword("correct horsf", "correct horse"));
    EXPECT_FALSE(remote::SamePassword("correct horse ", "correct horse"));
    EXPECT_FALSE(remote::SamePassword(std::string("correct horse\0", 14), "correct horse"));
    EXPECT_FALSE(remote::SamePassword("", "correct horse"));
    EXPECT_FALSE(remote::SamePassword(std::string(5000, 'a'), std::string(200, 'a')));
}

TEST(Settings, EachFileGetsItsVerdict) {
    using remote::SettingsVerdict;
    const std::string pw = "Password=eight888\r\n";
    const std::string p = "[RemoteConsole]\r\n";
    const std::pair<std::string, std::pair<SettingsVerdict, std::string>> cases[] = {
        {"[Other]\r\nPassword=eight888\r\n", {SettingsVerdict::kOff, ""}},
        {p + "Port=0\r\n", {SettingsVerdict::kOff, ""}},
        {p + "Password=\r\n", {SettingsVerdict::kOff, ""}},
        {p + "Password=seven77\r\n", {SettingsVerdict::kWrong, "the password is shorter than 8 characters"}},
        {p + "Password=" + std::string(256, 'p') + "\r\n",
         {SettingsVerdict::kWrong, "the password is longer than 255 characters"}},
        {p + "Password=" + std::string(255, 'p') + "\r\n", {SettingsVerdict::kOn, ""}},
        {p + pw + "Port=abc\r\n", {SettingsVerdict::kWrong, "Port \"abc\" is not a port number (0 to 65535)"}},
        {p + pw + "Port=65536\r\n",
         {SettingsVerdict::kWrong, "Port \"65536\" is not a port number (0 to 65535)"}},
        {p + pw + "Port=-1\r\n", {SettingsVerdict::kWrong, "Port \"-1\" is not a port number (0 to 65535)"}},
        {p + pw + "Address=localhost\r\n",
         {SettingsVerdict::kWrong, "Address \"localhost\" is not an IPv4 address"}},
        {p + pw + "Address=127.1\r\n", {SettingsVerdict::kWrong, "Address \"127.1\" is not an IPv4 address"}},
        {p + pw + "MaxConnections=0\r\n",
         {SettingsVerdict::kWrong, "MaxConnections \"0\" is not a number from 1 to 62"}},
        {p + pw + "MaxConnections=63\r\n",
         {SettingsVerdict::kWrong, "MaxConnections \"63\" is not a number from 1 to 62"}},
        {p + pw + "IdleMinutes=10081\r\n",
         {SettingsVerdict::kWrong, "IdleMinutes \"10081\" is not a number from 0 to 10080"}},
        {p + pw + "Port=0\r\nAddress=0.0.0.0\r\nMaxConnections=62\r\n", {SettingsVerdict::kOn, ""}},
    };
    const std::string directory = vt::ScratchDirectory("remote-settings");
    const std::string path = directory + "\\Velmor.ini";
    remote::RemoteSettings settings;
    std::string why;
    EXPECT_EQ(remote::ReadRemoteSettings(path.c_str(), settings, why), SettingsVerdict::kOff) << "no file";
    for (const auto& [file, expected] : cases) {
        vt::WriteFile(path, file);
        why.clear();
        EXPECT_EQ(remote::ReadRemoteSettings(path.c_str(), settings, why), expected.first) << file;
        EXPECT_EQ(why, expected.second) << file;
    }

    vt::WriteFile(path, p + pw);
    ASSERT_EQ(remote::ReadRemoteSettings(path.c_str(), settings, why), SettingsVerdict::kOn);
    EXPECT_EQ(settings.password, "eight888");
    EXPECT_EQ(settings.port, 27015);
    EXPECT_EQ(settings.address, 0x7F000001u);
    EXPECT_EQ(settings.maxConnections, 8);
    EXPECT_EQ(settings.idleMinutes, 60);
    vt::WriteFile(path, p + pw + "Port=0\r\nAddress=0.0.0.0\r\nMaxConnections=62\r\nIdleMinutes=0\r\n");
    ASSERT_EQ(remote::ReadRemoteSettings(path.c_str(), settings, why), SettingsVerdict::kOn);
    EXPECT_EQ(settings.port, 0);
    EXPECT_EQ(settings.address, 0u);
    EXPECT_EQ(settings.maxConnections, 62);
    EXPECT_EQ(settings.idleMinutes, 0);
}

// [Metrics]: on with a port, whatever else the file holds.
TEST(Settings, TheMetricsSectionGetsItsVerdict) {
    using remote::SettingsVerdict;
    const std::string m = "[Metrics]\r\n";
    const std::pair<std::string, std::pair<SettingsVerdict, std::string>> cases[] = {
        {"[RemoteConsole]\r\nPort=9700\r\n", {SettingsVerdict::kOff, ""}},
        {m + "Address=127.0.0.1\r\n", {SettingsVerdict::kOff, ""}},
        {m + "Port=97OO\r\n", {SettingsVerdict::kWrong, "Port \"97OO\" is not a port number (0 to 65535)"}},
        {m + "Port=65536\r\n", {SettingsVerdict::kWrong, "Port \"65536\" is not a port number (0 to 65535)"}},
        {m + "Port=" + std::string(70, '1') + "\r\n",
         {SettingsVerdict::kWrong, "Port \"" + std::string(63, '1') + "\" is not a port number (0 to 65535)"}},
        {m + "Port=9700\r\nAddress=127.1\r\n", {SettingsVerdict::kWrong, "Address \"127.1\" is not an IPv4 address"}},
        {m + "Port=65535\r\n", {SettingsVerdict::kOn, ""}},
    };
    const std::string path = vt::ScratchDirectory("metrics-settings") + "\\Velmor.ini";
    remote::MetricsSettings settings;
    std::string why;
    EXPECT_EQ(remote::ReadMetricsSettings(path.c_str(), settings, why), SettingsVerdict::kOff) << "no file";
    for (const auto& [file, expected] : cases) {
        vt::WriteFile(path, file);
        why.clear();
        EXPECT_EQ(remote::ReadMetricsSettings(path.c_str(), settings, why), expected.first) << file;
        EXPECT_EQ(why, expected.second) << file;
    }
    vt::WriteFile(path, m + "Port=0\r\nAddress=0.0.0.0\r\n");
    ASSERT_EQ(remote::ReadMetricsSettings(path.c_str(), settings, why), SettingsVerdict::kOn);
    EXPECT_EQ(settings.port, 0);
    EXPECT_EQ(settings.address, 0u);
    vt::WriteFile(path, m + "Port=9700\r\n");
    ASSERT_EQ(remote::ReadMetricsSettings(path.c_str(), settings, why), SettingsVerdict::kOn);
    EXPECT_EQ(settings.port, 9700);
    EXPECT_EQ(settings.address, 0x7F000001u);
}

}  // namespace
