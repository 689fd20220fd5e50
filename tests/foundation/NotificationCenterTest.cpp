#include "foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <thread>

namespace {
const QString Name = QStringLiteral("test.notification");
const QString Other = QStringLiteral("test.other");
} // namespace

TEST(NotificationCenterTest, DeliversByNameAndSender)
{
    NotificationCenter center;
    int senderA = 0, senderB = 0, owner = 0;
    QStringList seen;
    center.addObserver(Name, nullptr, &owner, [&](const Notification &) { seen << "any"; });
    center.addObserver(Name, &senderA, &owner, [&](const Notification &) { seen << "A"; });
    center.addObserver(Other, nullptr, &owner, [&](const Notification &) { seen << "other"; });

    center.post(Name, &senderB);
    EXPECT_EQ(seen, QStringList{"any"});
    seen.clear();
    center.post(Name, &senderA);
    EXPECT_EQ(seen, (QStringList{"any", "A"}));
}

TEST(NotificationCenterTest, CarriesUserInfo)
{
    NotificationCenter center;
    int owner = 0;
    QVariantMap received;
    center.addObserver(Name, nullptr, &owner,
                       [&](const Notification &n) { received = n.userInfo; });
    center.post(Name, nullptr, {{"FilePath", QStringLiteral("/tmp/x")}});
    EXPECT_EQ(received.value("FilePath").toString(), "/tmp/x");
}

TEST(NotificationCenterTest, RemovesByTokenAndByOwner)
{
    NotificationCenter center;
    int first = 0, second = 0;
    int calls = 0;
    const auto token =
        center.addObserver(Name, nullptr, &first, [&](const Notification &) { ++calls; });
    center.addObserver(Name, nullptr, &second, [&](const Notification &) { calls += 10; });
    center.addObserver(Other, nullptr, &second, [&](const Notification &) { calls += 100; });

    center.removeObserver(token);
    center.post(Name);
    EXPECT_EQ(calls, 10);
    center.removeObserver(&second);
    center.post(Name);
    center.post(Other);
    EXPECT_EQ(calls, 10);
}

TEST(NotificationCenterTest, DeliversSynchronouslyOnThePostingThread)
{
    NotificationCenter center;
    int owner = 0;
    std::thread::id deliveredOn;
    bool delivered = false;
    center.addObserver(Name, nullptr, &owner, [&](const Notification &) {
        deliveredOn = std::this_thread::get_id();
        delivered = true;
    });
    std::thread::id postedOn;
    bool deliveredBeforePostReturned = false;
    std::thread worker([&] {
        postedOn = std::this_thread::get_id();
        center.post(Name);
        deliveredBeforePostReturned = delivered;
    });
    worker.join();
    EXPECT_TRUE(deliveredBeforePostReturned);
    EXPECT_EQ(deliveredOn, postedOn);
}

TEST(NotificationCenterTest, AnObserverMayRemoveItselfWhileBeingNotified)
{
    NotificationCenter center;
    int owner = 0;
    int calls = 0;
    center.addObserver(Name, nullptr, &owner, [&](const Notification &) {
        ++calls;
        center.removeObserver(&owner);
    });
    center.post(Name);
    center.post(Name);
    EXPECT_EQ(calls, 1);
}
