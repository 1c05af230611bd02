#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

class Element;
class FormSession;
class QTimer;
struct KnownTag;

// What makes a shown form change: elements read again when a refresh names them
// (by var or id), when the value of a widget with refresh changes, after the
// command of a button or icon list with refresh, and every few seconds; each time
// also their enabled and visible. Reads wait in the session's queue, one command
// at a time; a chain of refreshes that leads back reads each element once.
class FormRefresh : public QObject
{
    Q_OBJECT
public:
    // The session's own, made at first use.
    static FormRefresh &of(FormSession &session);

    // Called by the dispatch for each element it built; widget: the one it placed.
    void add(const KnownTag *tag, const Element *element, QWidget *widget);
    // The build is over: value changes and timers start to count.
    void start();
    // Reads again every element named in names (blank-separated), in document order.
    void refresh(const QByteArrayView names);
    // Runs then once the form has caught up with its values: the refreshes that
    // changes are still settling for start now, and then waits for the reads under
    // way and those they start.
    void whenSettled(std::function<void()> then);

    // Milliseconds within which changes of one widget's value make one refresh.
    static constexpr int kSettleMs = 250;
    static constexpr double kShortestEvery = 0.1;

private:
    explicit FormRefresh(FormSession &session);

    struct Target
    {
        const KnownTag *tag = nullptr;
        const Element *element = nullptr;
        QPointer<QWidget> widget;
        QByteArray refreshes;  // what its changes or its command read again
        QTimer *every = nullptr;
        bool queued = false;
    };
    void read(Target &target);
    void apply(Target &target, std::map<const Element *, std::optional<QByteArray>> outputs);
    void valueChanged(int index);
    // The value of the widgets bound to name has settled: what they refresh is read.
    void settled(const QByteArray &name);
    void refreshFrom(QByteArrayView names, bool anew);

    FormSession &m_session;
    std::vector<Target> m_targets;                  // document order
    std::multimap<QByteArray, size_t> m_names;      // var or id -> target
    std::multimap<QByteArray, size_t> m_sources;    // var of a widget with refresh -> target
    std::map<QByteArray, QTimer *> m_settling;      // var -> its pending refresh
    std::set<size_t> m_wave;                        // read since the change that started it
    struct Waiter
    {
        std::set<size_t> reads; // targets whose reads it waits for
        std::function<void()> then;
    };
    std::vector<Waiter> m_waiters;
    int m_outstanding = 0;
    int m_applying = 0;
    size_t m_applyingIndex = 0; // the target being applied, while m_applying
    bool m_started = false;
};

// enabled and visible of element, evaluated: "0" turns the widget off.
void applyWidgetState(FormSession &session, const Element *element, QWidget *widget);
