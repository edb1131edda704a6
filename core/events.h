// Events with ordered subscriber lists. Scene objects announce geometry and
// attribute changes, containers and scenes announce additions and removals,
// renderers and the mode navigator announce their changes, all through this
// family. Observers are called in subscription order from a snapshot of the
// list, so observers may subscribe, unsubscribe, clear the event or even
// destroy the object that owns the event while it fires.
#pragma once

#include <algorithm>
#include <list>
#include <vector>

// The only locking policy of the system: everything happens on the
// user-interface thread.
class cEventDummyLocker
{
public:
    void Lock() {}
    void Unlock() {}
};

template <class TSender> class tObserver
{
public:
    virtual ~tObserver() = default;
    virtual void OnEvent(TSender* sender) { (void)sender; }
};

template <class TSender, class TArg> class tObserverEx
{
public:
    virtual ~tObserverEx() = default;
    virtual void OnEvent(TSender* sender, TArg arg)
    {
        (void)sender;
        (void)arg;
    }
};

// The subscriber list and the firing loop shared by both event kinds.
template <class TObserver, class TLocker> class tEventSubscribers
{
public:
    using Position = typename std::list<TObserver*>::iterator;

    tEventSubscribers() = default;
    tEventSubscribers(const tEventSubscribers&) = delete;
    tEventSubscribers& operator=(const tEventSubscribers&) = delete;

    // Destroying the event notifies no one; a firing loop in progress on
    // this event learns of it and stops before touching the event again.
    virtual ~tEventSubscribers()
    {
        for (FireGuard* guard = m_firing; guard != nullptr; guard = guard->outer)
            guard->destroyed = true;
    }

    // Appends the observer unless it is already subscribed; returns its
    // position in the list either way (the end for a null observer).
    virtual Position Subscribe(TObserver* observer)
    {
        Lock lock(m_locker);
        if (observer == nullptr)
            return m_observers.end();
        auto found = std::find(m_observers.begin(), m_observers.end(), observer);
        if (found != m_observers.end())
            return found;
        return m_observers.insert(m_observers.end(), observer);
    }

    // Removes the observer's entry; nothing when it is not subscribed.
    virtual void Unsubscribe(TObserver* observer)
    {
        Lock lock(m_locker);
        auto found = std::find(m_observers.begin(), m_observers.end(), observer);
        if (found != m_observers.end())
            m_observers.erase(found);
    }

    virtual void UnsubscribeAll()
    {
        Lock lock(m_locker);
        m_observers.clear();
    }

    std::size_t GetSubscriberCount() const { return m_observers.size(); }
    bool IsSubscribed(const TObserver* observer) const
    {
        return std::find(m_observers.begin(), m_observers.end(), observer) != m_observers.end();
    }

protected:
    // Calls notify(observer) for every observer of a snapshot of the list
    // that is still subscribed when its turn comes. An exception from an
    // observer ends the loop and passes on to the caller.
    template <class TNotify> void Notify(TNotify&& notify)
    {
        std::vector<TObserver*> snapshot;
        {
            Lock lock(m_locker);
            snapshot.assign(m_observers.begin(), m_observers.end());
        }
        FireGuard guard{false, m_firing};
        m_firing = &guard;
        Unwind unwind{this, &guard};
        for (TObserver* observer : snapshot)
        {
            if (!IsSubscribed(observer))
                continue;
            notify(observer);
            if (guard.destroyed)
                return; // the event is gone: touch nothing of it
        }
    }

private:
    struct FireGuard
    {
        bool destroyed;
        FireGuard* outer;
    };

    // Takes the loop's guard off the event when the loop ends, unless the
    // event died meanwhile.
    struct Unwind
    {
        tEventSubscribers* event;
        FireGuard* guard;
        ~Unwind()
        {
            if (!guard->destroyed)
                event->m_firing = guard->outer;
        }
    };

    struct Lock
    {
        explicit Lock(TLocker& locker) : locker(locker) { locker.Lock(); }
        ~Lock() { locker.Unlock(); }
        TLocker& locker;
    };

    std::list<TObserver*> m_observers;
    TLocker m_locker;
    FireGuard* m_firing = nullptr;
};

template <class TSender, class TLocker = cEventDummyLocker>
class tEvent : public tEventSubscribers<tObserver<TSender>, TLocker>
{
public:
    virtual void Fire(TSender* sender)
    {
        this->Notify([sender](tObserver<TSender>* observer) { observer->OnEvent(sender); });
    }
};

template <class TSender, class TArg, class TLocker = cEventDummyLocker>
class tEventEx : public tEventSubscribers<tObserverEx<TSender, TArg>, TLocker>
{
public:
    virtual void Fire(TSender* sender, TArg arg)
    {
        this->Notify([sender, &arg](tObserverEx<TSender, TArg>* observer) { observer->OnEvent(sender, arg); });
    }
};

// Forwards an event to a member function of a target object. Inert while
// either the target or the member is null.
template <class TSender, class TTarget> class tEventDelegate : public tObserver<TSender>
{
public:
    using Handler = void (TTarget::*)(TSender*);

    tEventDelegate() = default;
    tEventDelegate(TTarget* target, Handler handler) : m_target(target), m_handler(handler) {}

    void Bind(TTarget* target, Handler handler)
    {
        m_target = target;
        m_handler = handler;
    }
    TTarget* GetTarget() const { return m_target; }

    void OnEvent(TSender* sender) override
    {
        if (m_target != nullptr && m_handler != nullptr)
            (m_target->*m_handler)(sender);
    }

private:
    TTarget* m_target = nullptr;
    Handler m_handler = nullptr;
};

template <class TSender, class TTarget, class TArg> class tEventDelegateEx : public tObserverEx<TSender, TArg>
{
public:
    using Handler = void (TTarget::*)(TSender*, TArg);

    tEventDelegateEx() = default;
    tEventDelegateEx(TTarget* target, Handler handler) : m_target(target), m_handler(handler) {}

    void Bind(TTarget* target, Handler handler)
    {
        m_target = target;
        m_handler = handler;
    }
    TTarget* GetTarget() const { return m_target; }

    void OnEvent(TSender* sender, TArg arg) override
    {
        if (m_target != nullptr && m_handler != nullptr)
            (m_target->*m_handler)(sender, arg);
    }

private:
    TTarget* m_target = nullptr;
    Handler m_handler = nullptr;
};
