// The remote console's rules that take minutes or many files to see from
// outside, in this process: the lock-out on a test clock, the password
// comparison, and the settings file's verdicts.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Files.h"
#include "ScratchTree.h"
#include "remote/RemoteSettings.h"
#include "remote/SignInGuard.h"

namespace {

using remote::SignInGuard;

constexpr std::uint32_t kOne = 0x7F000002, kOther = 0x7F000003;
constexpr std::uint64_t kSecond = 1000;

TEST(LockOut, FiveWrongPasswordsWithinAMinuteLockTheAddressForFiveMinutes) {
    SignInGuard guard;
    const std::uint64_t t0 = 1'000'000;
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(guard.Failed(kOne, t0 + i * 10 * kSecond)) << i;
    EXPECT_FALSE(guard.LockedOut(kOne, t0 + 40 * kSecond));
    EXPECT_TRUE(guard.Failed(kOne, t0 + 59 * kSecond));
    EXPECT_TRUE(guard.LockedOut(kOne, t0 + 59 * kSecond));
    EXPECT_FALSE(guard.LockedOut(kOther, t0 + 59 * kSecond));
    // Tries while locked out neither lengthen nor report the lock-out again.
    EXPECT_FALSE(guard.Failed(kOne, t0 + 100 * kSecond));
    EXPECT_TRUE(guard.LockedOut(kOne, t0 + 59 * kSecond + 300 * kSecond - 1));
    EXPECT_FALSE(guard.LockedOut(kOne, t0 + 59 * kSecond + 300 * kSecond));
    // Afterwards the count starts afresh.
    const std::uint64_t t1 = t0 + 400 * kSecond;
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(guard.Failed(kOne, t1 + i)) << i;
    EXPECT_TRUE(guard.Failed(kOne, t1 + 4));
}

TEST(LockOut, FailuresSpreadOverMoreThanAMinuteDoNotLock) {
    SignInGuard guard;
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(guard.Failed(kOne, 5'000'000 + i * 15 * kSecond)) << i;
    EXPECT_FALSE(guard.LockedOut(kOne, 5'000'000 + 20 * 15 * kSecond));
}

TEST(LockOut, ManyAddressesStayWithinTheBound) {
    SignInGuard guard;
    for (std::uint32_t a = 0; a < 3 * SignInGuard::kMostAddresses; ++a)
        for (int i = 0; i < 5; ++i) guard.Failed(0x0A000000 + a, 1000 + a);
    // The newest lock-outs are kept.
    EXPECT_TRUE(guard.LockedOut(0x0A000000 + 3 * SignInGuard::kMostAddresses - 1, 2000));
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
    vt::WriteFile(path, p + pw + "Port=0\r\nAddress=0.0.0.0\r\nMaxConnections=62\r\n");
    ASSERT_EQ(remote::ReadRemoteSettings(path.c_str(), settings, why), SettingsVerdict::kOn);
    EXPECT_EQ(settings.port, 0);
    EXPECT_EQ(settings.address, 0u);
    EXPECT_EQ(settings.maxConnections, 62);
}

}  // namespace
