// SPDX-License-Identifier: GPL-3.0-or-later
#include "zip_archive.h"

#include <zip.h>

namespace dorvalix::pattern_io {

struct ZipArchive::Handle {
    zip_t* archive = nullptr;
    ~Handle() {
        if (archive != nullptr) zip_discard(archive);
    }
};

namespace {

// An archive never holds more members than this in the formats read here (a few dozen).
constexpr zip_int64_t kMaxMembers = 100000;

std::string ZipErrorText(zip_error_t* error) {
    const char* text = zip_error_strerror(error);
    return text != nullptr ? text : "unknown zip error";
}

}  // namespace

bool LooksLikeZip(std::string_view bytes) {
    return bytes.starts_with("PK\x03\x04") || bytes.starts_with("PK\x05\x06");
}

ZipArchive::ZipArchive(std::string_view bytes, const ReadContext& context)
    : handle_(std::make_unique<Handle>()), context_(context) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source == nullptr) {
        const std::string text = ZipErrorText(&error);
        zip_error_fini(&error);
        context.Damaged(text);
    }
    handle_->archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (handle_->archive == nullptr) {
        zip_source_free(source);
        const std::string text = ZipErrorText(&error);
        zip_error_fini(&error);
        context.Damaged("zip archive: " + text);
    }
    zip_error_fini(&error);
    const zip_int64_t count = zip_get_num_entries(handle_->archive, 0);
    if (count < 0 || count > kMaxMembers) context.Damaged("zip archive: too many members");
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(handle_->archive, static_cast<zip_uint64_t>(i), 0);
        names_.push_back(name != nullptr ? name : "");
    }
}

ZipArchive::~ZipArchive() = default;

std::string ZipArchive::Read(const std::string& name) const {
    const zip_int64_t index = zip_name_locate(handle_->archive, name.c_str(), 0);
    if (index < 0) context_.Fail(pattern_text::kMissingPart, {Quote(name)});
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(handle_->archive, static_cast<zip_uint64_t>(index), 0, &st) != 0) {
        context_.Damaged("zip archive: " + std::string(zip_strerror(handle_->archive)));
    }
    const std::string limitText = std::to_string(kMaxMemberBytes / (1024 * 1024));
    if ((st.valid & ZIP_STAT_SIZE) != 0 && st.size > kMaxMemberBytes) {
        context_.Fail(pattern_text::kMemberTooLarge, {Quote(name), limitText});
    }
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && st.encryption_method != ZIP_EM_NONE) {
        context_.Damaged(Quote(name) + " is encrypted");
    }
    zip_file_t* file = zip_fopen_index(handle_->archive, static_cast<zip_uint64_t>(index), 0);
    if (file == nullptr) {
        context_.Damaged("zip archive: " + Quote(name) + ": " +
                         std::string(zip_strerror(handle_->archive)));
    }
    std::string out;
    if ((st.valid & ZIP_STAT_SIZE) != 0) out.reserve(static_cast<std::size_t>(st.size));
    char buffer[65536];
    std::string failure;
    // The declared size may lie: the unpacked bytes themselves are counted.
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            const char* text = zip_file_strerror(file);
            failure = text != nullptr ? text : "read error";
            break;
        }
        if (n == 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
        if (out.size() > kMaxMemberBytes) {
            zip_fclose(file);
            context_.Fail(pattern_text::kMemberTooLarge, {Quote(name), limitText});
        }
    }
    zip_fclose(file);
    if (!failure.empty()) context_.Damaged("zip archive: " + Quote(name) + ": " + failure);
    return out;
}

}  // namespace dorvalix::pattern_io
