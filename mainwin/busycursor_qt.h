// The busy cursor over the whole application while a run works; gone again when this object is.
#pragma once

namespace trelvo::qt {

class BusyCursor {
public:
    BusyCursor();  // shows the wait cursor over the whole application
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace trelvo::qt
