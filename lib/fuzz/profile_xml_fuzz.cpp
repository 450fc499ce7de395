// Feeds arbitrary bytes to the profile file loader, as an import of a damaged
// or hostile file would, and saves what it accepted.
#include <unistd.h>

#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lib/xml/KVProfileXmlFile.h"

namespace {

std::string TempPath(const char* suffix) {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder != nullptr ? folder : "/tmp") + "/profile_xml_fuzz." +
           std::to_string(getpid()) + suffix;
}

std::wstring Wide(const std::string& path) {
    return std::wstring(path.begin(), path.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool localeSet = std::setlocale(LC_ALL, "C.UTF-8") != nullptr;
    (void)localeSet;
    static const std::string input = TempPath(".xml");
    static const std::string output = TempPath(".out.xml");
    std::FILE* file = std::fopen(input.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    std::vector<KVXmlProfile*> profiles;
    {
        KVProfileXmlFile reader(&profiles);
        static unsigned accepted = 0;
        // Saving syncs to disk, so only every 16th accepted input takes the
        // round trip.
        if (reader.LoadProfileFile(Wide(input).c_str()) && accepted++ % 16 == 0) {
            // What was accepted must write out and read back the same way.
            KVProfileXmlFile writer(&profiles);
            if (writer.SaveProfileFile(Wide(output).c_str())) {
                std::vector<KVXmlProfile*> again;
                KVProfileXmlFile rereader(&again);
                if (!rereader.LoadProfileFile(Wide(output).c_str()) || again.size() != profiles.size()) {
                    std::abort();
                }
                for (KVXmlProfile* profile : again) {
                    delete profile;
                }
            }
        }
    }
    for (KVXmlProfile* profile : profiles) {
        delete profile;
    }
    std::remove(input.c_str());
    std::remove(output.c_str());
    return 0;
}
