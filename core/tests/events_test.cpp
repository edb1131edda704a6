#include "core/events.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{

struct Sender
{
    tEvent<Sender> changed;
};

// An observer that logs its name and then runs an optional action.
struct Recorder : tObserver<Sender>
{
    Recorder(std::string name, std::vector<std::string>* log) : name(std::move(name)), log(log) {}
    void OnEvent(Sender* sender) override
    {
        log->push_back(name);
        lastSender = sender;
        if (action)
            action();
    }
    std::string name;
    std::vector<std::string>* log;
    Sender* lastSender = nullptr;
    std::function<void()> action;
};

using Log = std::vector<std::string>;

TEST(Events, ObserversRunInSubscriptionOrderAndOnlyOnce)
{
    Sender s;
    Log log;
    Recorder a("a", &log), b("b", &log), c("c", &log);
    s.changed.Subscribe(&b);
    s.changed.Subscribe(&a);
    auto first = s.changed.Subscribe(&c);
    EXPECT_EQ(s.changed.Subscribe(&c), first) << "a second subscription returns the existing entry";
    EXPECT_EQ(s.changed.GetSubscriberCount(), 3u);
    s.changed.Fire(&s);
    EXPECT_EQ(log, (Log{"b", "a", "c"}));
    EXPECT_EQ(a.lastSender, &s);

    s.changed.Unsubscribe(&c);
    EXPECT_FALSE(s.changed.IsSubscribed(&c)) << "one unsubscribe removes a doubly subscribed observer";
    Recorder stranger("x", &log);
    s.changed.Unsubscribe(&stranger);
    s.changed.Subscribe(nullptr);
    EXPECT_EQ(s.changed.GetSubscriberCount(), 2u);
}

TEST(Events, FiringWithoutSubscribersDoesNothing)
{
    Sender s;
    s.changed.Fire(&s);
    s.changed.UnsubscribeAll();
    s.changed.Fire(nullptr);
    EXPECT_EQ(s.changed.GetSubscriberCount(), 0u);
}

TEST(Events, ChangesDuringFiringFollowTheSnapshotRules)
{
    Sender s;
    Log log;
    Recorder a("a", &log), b("b", &log), c("c", &log), late("late", &log);
    a.action = [&] {
        s.changed.Unsubscribe(&b);   // not yet called: skipped
        s.changed.Subscribe(&late);  // joins from the next firing on
    };
    s.changed.Subscribe(&a);
    s.changed.Subscribe(&b);
    s.changed.Subscribe(&c);
    s.changed.Fire(&s);
    EXPECT_EQ(log, (Log{"a", "c"}));

    log.clear();
    a.action = nullptr;
    s.changed.Fire(&s);
    EXPECT_EQ(log, (Log{"a", "c", "late"}));

    log.clear();
    a.action = [&] { s.changed.UnsubscribeAll(); };
    s.changed.Fire(&s);
    EXPECT_EQ(log, (Log{"a"})) << "clearing the event mid-firing ends the calls safely";
}

TEST(Events, AnObserverMayDestroyTheSenderWhileItsEventFires)
{
    auto s = std::make_unique<Sender>();
    Log log;
    Recorder a("a", &log), b("b", &log);
    a.action = [&] { s.reset(); };
    s->changed.Subscribe(&a);
    s->changed.Subscribe(&b);
    Sender* raw = s.get();
    raw->changed.Fire(raw); // AddressSanitizer reports any touch of the dead event
    EXPECT_EQ(log, (Log{"a"}));
    EXPECT_EQ(s, nullptr);
}

TEST(Events, DestructionIsNoticedByNestedFirings)
{
    auto s = std::make_unique<Sender>();
    Log log;
    Recorder outer("outer", &log), inner("inner", &log), after("after", &log);
    int depth = 0;
    outer.action = [&] {
        if (depth++ == 0)
            s->changed.Fire(s.get()); // re-entrant firing
    };
    inner.action = [&] {
        if (depth == 2)
            s.reset();
    };
    s->changed.Subscribe(&outer);
    s->changed.Subscribe(&inner);
    s->changed.Subscribe(&after);
    Sender* raw = s.get();
    raw->changed.Fire(raw);
    EXPECT_EQ(log, (Log{"outer", "outer", "inner"}));
}

TEST(Events, AnExceptionPassesOnAndLeavesTheEventUsable)
{
    Sender s;
    Log log;
    Recorder a("a", &log), b("b", &log);
    a.action = [] { throw std::runtime_error("observer failed"); };
    s.changed.Subscribe(&a);
    s.changed.Subscribe(&b);
    EXPECT_THROW(s.changed.Fire(&s), std::runtime_error);
    EXPECT_EQ(log, (Log{"a"}));
    a.action = nullptr;
    s.changed.Fire(&s);
    EXPECT_EQ(log, (Log{"a", "a", "b"}));
}

struct Container
{
    void OnObjectChanged(Sender* sender) { changed.push_back(sender); }
    void OnAdded(Sender* sender, int index) { added.emplace_back(sender, index); }
    std::vector<Sender*> changed;
    std::vector<std::pair<Sender*, int>> added;
};

TEST(EventDelegates, ForwardToTheTargetAndAreInertWhenUnbound)
{
    Sender s;
    Container container;
    tEventDelegate<Sender, Container> bound(&container, &Container::OnObjectChanged);
    tEventDelegate<Sender, Container> unbound;
    tEventDelegate<Sender, Container> noMember(&container, nullptr);
    s.changed.Subscribe(&unbound);
    s.changed.Subscribe(&bound);
    s.changed.Subscribe(&noMember);
    s.changed.Fire(&s);
    EXPECT_EQ(container.changed, std::vector<Sender*>{&s});

    tEventEx<Sender, int> added;
    tEventDelegateEx<Sender, Container, int> relay(&container, &Container::OnAdded);
    added.Subscribe(&relay);
    added.Fire(&s, 7);
    added.Fire(nullptr, 8);
    ASSERT_EQ(container.added.size(), 2u);
    EXPECT_EQ(container.added[0], std::make_pair(&s, 7));
    EXPECT_EQ(container.added[1], std::make_pair(static_cast<Sender*>(nullptr), 8));
}

} // namespace
