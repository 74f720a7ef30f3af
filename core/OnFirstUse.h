#pragma once

// A window that is made the first time it is reached rather than at start: a hidden dialog
// costs nothing until it is first opened, and is then kept, with what it holds, until the
// end. Its owner holds it:
//
//   TOnFirstUse<TDialog> m_dialog;
//   m_dialog.Provide([] { return new TDialog; });
//   m_dialog->exec();                      // made here, the first time
//   m_dialog.Destroy();                    // at the end; never made again

#include <functional>
#include <utility>

template <class T>
class TOnFirstUse {
public:
    // From now on, the first use makes the window with make.
    void Provide(std::function<T*()> make) { m_make = std::move(make); }
    // The window, made now if it was not yet; null before Provide and after Destroy.
    T* Get()
    {
        if (!m_instance && m_make)
            m_instance = std::exchange(m_make, nullptr)();
        return m_instance;
    }
    // The window if it has been made, without making it.
    T* Made() const { return m_instance; }
    T* operator->() { return Get(); }
    // Ends the window if it was made; no later use makes it again.
    void Destroy()
    {
        m_make = nullptr;
        delete std::exchange(m_instance, nullptr);
    }

private:
    T* m_instance = nullptr;
    std::function<T*()> m_make;
};
