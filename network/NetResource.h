// One entry of a network enumeration, and the containers an enumeration can open.
#pragma once

#include <string>

namespace qv {

struct NetResource {
    std::string remoteName; // "WORKGROUP", "\\HOST", "\\HOST\share" as the network gives them
    bool container = false; // the entry can itself be enumerated
    bool print = false;     // a printer share
};

// What an enumeration opens: the network root (its providers), an entry as it was
// received in a parent's batch (a provider), or a container named by its remote name.
struct EnumContainer {
    enum class Form { Root, Entry, Name };
    Form form = Form::Root;
    NetResource entry; // for Form::Entry
    std::string name;  // for Form::Name

    static EnumContainer root() { return {}; }
    static EnumContainer ofEntry(const NetResource& e) { return {Form::Entry, e, {}}; }
    static EnumContainer named(std::string n) { return {Form::Name, {}, std::move(n)}; }
};

} // namespace qv
