#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tav::store {

namespace detail {

// What a subscription needs of the event it unbinds from, whatever the event's signature.
class SubscriberList
{
public:
    virtual ~SubscriberList() = default;
    virtual void remove(std::uint64_t id) noexcept = 0;
};

} // namespace detail

// One handler bound to one event. The handler stays bound while the subscription lives: destroying it (or
// reset()) unbinds it, so a rules object that owns its subscriptions is never called after it is gone. An
// event that goes first leaves the subscription harmless.
class [[nodiscard]] Subscription
{
public:
    Subscription() = default;
    Subscription(std::weak_ptr<detail::SubscriberList> list, std::uint64_t id) : m_list(std::move(list)), m_id(id) {}
    Subscription(Subscription &&other) noexcept
        : m_list(std::exchange(other.m_list, {})), m_id(std::exchange(other.m_id, 0))
    {}
    Subscription &operator=(Subscription &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_list = std::exchange(other.m_list, {});
            m_id = std::exchange(other.m_id, 0);
        }
        return *this;
    }
    Subscription(const Subscription &) = delete;
    Subscription &operator=(const Subscription &) = delete;
    ~Subscription() { reset(); }

    void reset() noexcept
    {
        if (auto list = m_list.lock())
            list->remove(m_id);
        m_list.reset();
        m_id = 0;
    }
    bool isBound() const { return !m_list.expired() && m_id != 0; }

private:
    std::weak_ptr<detail::SubscriberList> m_list;
    std::uint64_t m_id = 0;
};

// The subscriptions of one owner (a rules object, a window), unbound together when it goes.
class Subscriptions
{
public:
    Subscriptions &operator+=(Subscription s)
    {
        m_items.push_back(std::move(s));
        return *this;
    }
    void clear() noexcept { m_items.clear(); }
    bool empty() const { return m_items.empty(); }

private:
    std::vector<Subscription> m_items;
};

namespace detail {

template <typename Handler> class HandlerList : public SubscriberList
{
public:
    std::uint64_t add(Handler h)
    {
        const std::uint64_t id = m_next++;
        m_entries.emplace_back(id, std::make_shared<Handler>(std::move(h)));
        return id;
    }
    void remove(std::uint64_t id) noexcept override
    {
        m_entries.erase(
            std::remove_if(m_entries.begin(), m_entries.end(), [id](const auto &e) { return e.first == id; }),
            m_entries.end());
    }
    bool contains(std::uint64_t id) const
    {
        return std::any_of(m_entries.begin(), m_entries.end(), [id](const auto &e) { return e.first == id; });
    }
    // The handlers as they are now: a handler may bind or unbind others while it runs.
    std::vector<std::pair<std::uint64_t, std::shared_ptr<Handler>>> snapshot() const { return m_entries; }
    bool empty() const { return m_entries.empty(); }
    int suspended = 0;

private:
    std::vector<std::pair<std::uint64_t, std::shared_ptr<Handler>>> m_entries;
    std::uint64_t m_next = 1;
};

// Keeps an event's handlers from running while it lives (they stay bound).
template <typename List> class [[nodiscard]] Suspension
{
public:
    explicit Suspension(const std::shared_ptr<List> &list) : m_list(list) { ++list->suspended; }
    Suspension(const Suspension &) = delete;
    Suspension &operator=(const Suspension &) = delete;
    ~Suspension()
    {
        if (auto list = m_list.lock())
            --list->suspended;
    }

private:
    std::weak_ptr<List> m_list;
};

// What every event shares: its handler list, binding, and suspending.
template <typename Handler> class EventBase
{
public:
    EventBase() = default;
    EventBase(const EventBase &) = delete;
    EventBase &operator=(const EventBase &) = delete;

    Subscription subscribe(Handler handler)
    {
        const auto id = m_list->add(std::move(handler));
        return Subscription(m_list, id);
    }
    bool empty() const { return m_list->empty(); }
    explicit operator bool() const { return !empty(); }
    // While the returned object lives the handlers do not run (a job or a test that saves without the rules).
    Suspension<HandlerList<Handler>> suspend() { return Suspension(m_list); }

protected:
    ~EventBase() = default;
    std::shared_ptr<HandlerList<Handler>> m_list = std::make_shared<HandlerList<Handler>>();
};

} // namespace detail

template <typename Signature> class Event;

// A record or field event with several subscribers (the official-request rules, the exchange and the reply
// handlers all listen to the same table). Handlers run in the order they were bound; one that throws (a
// rule's Abort refusing a save) stops the ones after it and the exception reaches the operation, as a
// single handler's would. A handler unbound while the event runs is not called any more.
template <typename... Args> class Event<void(Args...)> : public detail::EventBase<std::function<void(Args...)>>
{
public:
    using Handler = std::function<void(Args...)>;

    void operator()(Args... args) const
    {
        const auto &list = this->m_list;
        if (list->suspended > 0)
            return;
        for (const auto &[id, handler] : list->snapshot())
            if (list->contains(id))
                (*handler)(args...);
    }
};

// A condition several owners add to (a record filter): it holds when every bound handler says so, and when
// none is bound.
template <typename... Args> class Event<bool(Args...)> : public detail::EventBase<std::function<bool(Args...)>>
{
public:
    using Handler = std::function<bool(Args...)>;

    bool operator()(Args... args) const
    {
        const auto &list = this->m_list;
        if (list->suspended > 0)
            return true;
        for (const auto &[id, handler] : list->snapshot())
            if (list->contains(id) && !(*handler)(args...))
                return false;
        return true;
    }
};

} // namespace tav::store
