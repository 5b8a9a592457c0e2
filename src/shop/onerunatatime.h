#pragma once

// For a run that waits for the gateway in a local event loop, where a
// second press of its button could start another run over the first: the
// second is refused until the first ends.
class OneRunAtATime
{
public:
    explicit OneRunAtATime(bool& running) : m_running(running), m_refused(running)
    {
        m_running = true;
    }
    ~OneRunAtATime()
    {
        if (!m_refused)
            m_running = false;
    }
    OneRunAtATime(const OneRunAtATime&) = delete;
    OneRunAtATime& operator=(const OneRunAtATime&) = delete;

    bool refused() const { return m_refused; }

private:
    bool& m_running;
    bool m_refused;
};
