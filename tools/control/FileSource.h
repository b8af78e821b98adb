// Files the control API reads for a request (a CSV profile's table), read away from the runner's
// loop so that a slow disk, a named pipe or a huge file cannot hold up the reports. An interface, so
// that tests hand over the text themselves.
#pragma once

#include <functional>
#include <string>

namespace mimicbox::control {

class FileSource {
public:
    // Called on the runner's loop with the text, or with false and why not.
    using Done = std::function<void(bool ok, std::string text, std::string error)>;

    virtual ~FileSource() = default;
    // Reads the file `name` inside `folder`; a name that leads out of the folder is refused.
    virtual void Read(const std::string& folder, const std::string& name, Done done) = 0;
};

}  // namespace mimicbox::control
