#pragma once

// The list and tree controls' widgets report the user's changes to the parent as
// notifications; changes the control's own code makes must not be reported.

namespace platform {

/// Holds a widget's `quiet` flag up for the scope and puts back what it was, so that
/// nested scopes stay quiet until the outermost one ends.
template <class Widget>
class QuietScope {
public:
    explicit QuietScope(Widget* widget) : m_widget(widget), m_before(widget->quiet)
    {
        m_widget->quiet = true;
    }
    ~QuietScope() { m_widget->quiet = m_before; }
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;

private:
    Widget* m_widget;
    bool m_before;
};

}  // namespace platform
