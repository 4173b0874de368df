#pragma once

#include <QString>

#include <archive.h>
#include <archive_entry.h>

// The functions of libarchive the unpacking needs, each a member of its own name. The library is
// opened at the first unpacking rather than linked: a clock that never installs anything does not
// carry it and what it brings (libxml2, nettle, the compressors), half a megabyte and more.
// NOLINTBEGIN(cppcoreguidelines-macro-usage,bugprone-macro-parentheses)
#define HOROLAN_ARCHIVE_FUNCTIONS(X)                                                               \
    X(archive_entry_filetype)                                                                      \
    X(archive_entry_free)                                                                          \
    X(archive_entry_hardlink)                                                                      \
    X(archive_entry_is_encrypted)                                                                  \
    X(archive_entry_new)                                                                           \
    X(archive_entry_pathname)                                                                      \
    X(archive_entry_pathname_w)                                                                    \
    X(archive_entry_size)                                                                          \
    X(archive_entry_size_is_set)                                                                   \
    X(archive_error_string)                                                                        \
    X(archive_filter_bytes)                                                                        \
    X(archive_format)                                                                              \
    X(archive_read_data)                                                                           \
    X(archive_read_disk_can_descend)                                                               \
    X(archive_read_disk_descend)                                                                   \
    X(archive_read_disk_new)                                                                       \
    X(archive_read_disk_open)                                                                      \
    X(archive_read_disk_set_behavior)                                                              \
    X(archive_read_disk_set_symlink_hybrid)                                                        \
    X(archive_read_free)                                                                           \
    X(archive_read_has_encrypted_entries)                                                          \
    X(archive_read_new)                                                                            \
    X(archive_read_next_header)                                                                    \
    X(archive_read_next_header2)                                                                   \
    X(archive_read_open_filename)                                                                  \
    X(archive_read_support_filter_bzip2)                                                           \
    X(archive_read_support_filter_gzip)                                                            \
    X(archive_read_support_filter_xz)                                                              \
    X(archive_read_support_format_7zip)                                                            \
    X(archive_read_support_format_rar)                                                             \
    X(archive_read_support_format_rar5)                                                            \
    X(archive_read_support_format_tar)                                                             \
    X(archive_read_support_format_zip)

struct ArchiveLibrary {
#define HOROLAN_ARCHIVE_MEMBER(name) decltype(&::name) name = nullptr;
    HOROLAN_ARCHIVE_FUNCTIONS(HOROLAN_ARCHIVE_MEMBER)
#undef HOROLAN_ARCHIVE_MEMBER

    // libarchive.so.13, opened once and kept; null where it cannot be opened or lacks a function,
    // with why (logged once).
    static const ArchiveLibrary* open(QString* why = nullptr);
};
// NOLINTEND(cppcoreguidelines-macro-usage,bugprone-macro-parentheses)
