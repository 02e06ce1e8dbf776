#include "support/ArchiveFixtures.h"

#include "DovraneKit/system/FileSystem.h"

#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>

#include <filesystem>

namespace dovrane::testing {

void writeTar(const std::string& path, const std::vector<TarItem>& items, bool gzip) {
    archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    if (gzip)
        archive_write_add_filter_gzip(a);
    ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK);
    for (const auto& [name, type, content] : items) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, name.c_str());
        archive_entry_set_mtime(entry, 1'600'000'000, 0);
        if (type == 'd') {
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
        } else if (type == 'l') {
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_perm(entry, 0777);
            archive_entry_set_symlink(entry, content.c_str());
        } else {
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, type == 'x' ? 0755 : 0644);
            archive_entry_set_size(entry, std::int64_t(content.size()));
        }
        ASSERT_GE(archive_write_header(a, entry), ARCHIVE_WARN) << archive_error_string(a);
        if (type == 'f' || type == 'x')
            archive_write_data(a, content.data(), content.size());
        archive_entry_free(entry);
    }
    ASSERT_EQ(archive_write_close(a), ARCHIVE_OK) << archive_error_string(a);
    archive_write_free(a);
}

std::vector<TarItem> tarItemsOf(const std::string& folder, const std::string& top) {
    namespace fs = std::filesystem;
    std::vector<TarItem> items{{top, 'd', ""}};
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = top + "/" + fs::relative(it->path(), folder).string();
        if (it->is_symlink())
            items.push_back({name, 'l', fs::read_symlink(it->path()).string()});
        else if (it->is_directory())
            items.push_back({name, 'd', ""});
        else
            items.push_back({name, access(it->path().c_str(), X_OK) == 0 ? 'x' : 'f', *Fs::readFile(it->path())});
    }
    return items;
}

} // namespace dovrane::testing
