// Writes data.txt and tolvex.txt in $XDG_DATA_HOME/velkor/ through the profile layer, round
// after round, until it is killed: the area of the account given as the only argument, then
// one collection into the activity cache. Standard output gets "r" once running and "w"
// after each complete round. Exits with 1 when a write fails.
#include <unistd.h>

#include "platform/profile.h"
#include "profile_rounds.h"

int main(int argc, char** argv) {
    using namespace velkor;
    if (argc != 2) {
        return 2;
    }
    const std::string account = argv[1];
    const std::string data = platform::data_file("data.txt");
    const std::string cache = platform::data_file("tolvex.txt");
    if (::write(1, "r", 1) != 1) {
        return 1;
    }
    for (unsigned round = 0;; ++round) {
        if (!platform::write_profile(data, "user", account, test::round_area(round)) ||
            !platform::set_hidden(data)) {
            return 1;
        }
        const bool cached = platform::update_profile(cache, [](platform::profile_document& doc) {
            test::add_collection(doc);
            return true;
        });
        if (!cached || ::write(1, "w", 1) != 1) {
            return 1;
        }
    }
}
