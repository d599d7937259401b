// pemblorctl recording info: what recording files hold, as text or as one
// JSON document.
#include <nlohmann/json.hpp>

#include "recording/recording_tools.hpp"

namespace pemblor::recording {

namespace {

struct FileReport {
    std::filesystem::path path;
    bool readable = false;
    std::string openError;  // when it could not be opened
    std::optional<capture::RecordingHeader> header;
    std::uint64_t payload = 0, marked = 0;
    bool h264 = false;
    StreamFacts facts;
};

FileReport describe(const std::filesystem::path& path) {
    FileReport r;
    r.path = path;
    RecordingStream stream(path, UnitBytes::None);
    if (!stream.opened()) {
        r.openError = stream.openError();
        return r;
    }
    r.readable = stream.run();
    r.header = stream.header();
    r.payload = stream.payloadBytes();
    r.marked = stream.markedBlocks();
    r.h264 = stream.holdsH264();
    r.facts = stream.facts();
    return r;
}

std::string codingsText(const StreamFacts& f) {
    std::string text;
    for (Coding c : f.codings()) text += (text.empty() ? "" : " and ") + codingName(c);
    return text.empty() ? "no pictures" : text;
}

std::string damageText(const StreamFacts& f) {
    if (f.damaged == 0) return "none";
    return std::to_string(f.damaged) + " (the first at byte " + std::to_string(f.firstDamageOffset) + ": " +
           f.firstDamage + ")";
}

void writeText(const FileReport& r, std::ostream& out) {
    const StreamFacts& f = r.facts;
    out << r.path.string() << "\n";
    if (r.header) {
        out << "  header:        recording, started " << dateText(r.header->startTime) << "\n";
        if (r.header->finished()) {
            out << "  finished:      " << dateText(r.header->endTime) << "\n";
        } else {
            out << "  finished:      no, cut off (the recording was not stopped)\n";
        }
    } else {
        out << "  header:        none, read as a bare H.264 stream\n";
    }
    out << "  payload bytes: " << r.payload << "\n";
    out << "  marked blocks: " << r.marked << " (skipped)\n";
    if (r.payload > 0 && !r.h264) {
        out << "  stream:        none, the file holds no H.264\n";
        return;
    }
    out << "  access units:  " << f.accessUnits << ", IDR pictures: " << f.idrUnits;
    if (f.width > 0) out << ", " << f.width << " x " << f.height;
    out << "\n";
    if (f.profile == 0) return;
    out << "  stream:        " << profileName(f.profile, f.constraints) << ", level " << levelName(f.level, f.constraints)
        << ", " << codingsText(f) << ", "
        << (f.rateNum ? rateText(f.rateNum, f.rateDen) + " pictures/s" : std::string("no timing information")) << "\n";
    out << "  pictures:      " << f.pictures << ", reordered: ";
    if (f.reorderDepth > 0) {
        out << "yes (" << (f.bSlices ? "B pictures, " : "") << "up to " << f.reorderDepth << " held back)\n";
    } else {
        out << (f.bSlices ? "no (B pictures in decoding order)\n" : "no\n");
    }
    out << "  groups:        " << f.keyPictures << " key pictures, the longest group " << f.longestGroup
        << " pictures\n";
    out << "  not shown:     " << f.leftOut << " pictures before the first IDR picture or recovery point, "
        << f.notShowable << " after it\n";
    out << "  damage:        " << damageText(f) << "\n";
}

nlohmann::json toJson(const FileReport& r) {
    using nlohmann::json;
    json j = {{"file", r.path.string()}, {"readable", r.readable}};
    if (!r.readable) return j;
    if (r.header) {
        j["header"] = {{"started", isoDateText(r.header->startTime)},
                       {"finished", r.header->finished() ? json(isoDateText(r.header->endTime)) : json(nullptr)},
                       {"cut_off", !r.header->finished()}};
    } else {
        j["header"] = nullptr;
    }
    const StreamFacts& f = r.facts;
    j["payload_bytes"] = r.payload;
    j["marked_blocks"] = r.marked;
    j["h264"] = r.h264 || r.payload == 0;
    j["access_units"] = f.accessUnits;
    j["idr_pictures"] = f.idrUnits;
    j["width"] = f.width;
    j["height"] = f.height;
    j["profile"] = f.profile ? json(profileName(f.profile, f.constraints)) : json(nullptr);
    j["profile_idc"] = f.profile;
    j["level"] = f.profile ? json(levelName(f.level, f.constraints)) : json(nullptr);
    j["level_idc"] = f.level;
    json codings = json::array();
    for (Coding c : f.codings()) codings.push_back(codingName(c));
    j["coding"] = codings;
    j["pictures"] = f.pictures;
    j["frames"] = f.frames;
    j["field_pairs"] = f.fieldPairs;
    j["single_fields"] = f.singleFields;
    j["reordered"] = f.reorderDepth > 0;
    j["reorder_depth"] = f.reorderDepth;
    j["b_slices"] = f.bSlices;
    j["key_pictures"] = f.keyPictures;
    j["longest_group"] = f.longestGroup;
    j["left_out"] = f.leftOut;
    j["not_showable"] = f.notShowable;
    j["pictures_per_second"] = f.rateNum ? json(static_cast<double>(f.rateNum) / f.rateDen) : json(nullptr);
    j["damage"] = {{"count", f.damaged},
                   {"first_offset", f.damaged ? json(f.firstDamageOffset) : json(nullptr)},
                   {"first_reason", f.damaged ? json(f.firstDamage) : json(nullptr)}};
    return j;
}

// What goes wrong with a file, one line on err; false when nothing does.
bool complain(const FileReport& r, std::ostream& err) {
    const std::string name = r.path.string();
    if (!r.readable) {
        err << name << ": can't be read";
        if (!r.openError.empty()) err << ": " << r.openError;
        err << "\n";
    } else if (r.facts.damaged > 0) {
        err << name << ": damaged: " << damageText(r.facts) << "\n";
    } else if (r.payload > 0 && !r.h264) {
        err << name << ": holds no H.264\n";
    } else {
        return false;
    }
    return true;
}

}  // namespace

int recordingInfo(const std::vector<std::filesystem::path>& files, std::ostream& out, std::ostream& err,
                  const InfoOptions& options) {
    quietLibraries(options.verbose);
    int status = 0;
    nlohmann::json all = nlohmann::json::array();
    for (const auto& file : files) {
        const FileReport r = describe(file);
        if (options.json)
            all.push_back(toJson(r));
        else if (r.readable)
            writeText(r, out);
        if (complain(r, err)) status = 1;
    }
    if (options.json) out << nlohmann::json{{"files", all}}.dump(2) << "\n";
    return status;
}

}  // namespace pemblor::recording
