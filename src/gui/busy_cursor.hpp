#pragma once
// The wait cursor over the whole program while a handler runs on the
// user-interface thread, so a long operation (the memory test, a DSP poll)
// looks busy rather than hung. A modal window that a handler opens lifts it
// while the operator answers. User-interface thread only.
namespace pemblor::gui {

class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    // The cursor as it is without busy scopes, while this lives.
    class Lifted {
    public:
        Lifted();
        ~Lifted();
        Lifted(const Lifted&) = delete;
        Lifted& operator=(const Lifted&) = delete;

    private:
        int lifted_;
    };

    // Busy scopes in force (those lifted by a modal window do not count).
    static int depth();
};

}  // namespace pemblor::gui
