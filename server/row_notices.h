#pragma once

#include <string_view>

namespace vornmark::server {

// PostgreSQL's channel for notices of changed rows, heard by every server process sharing the
// database. A payload names one or more rows, each as its type, '\n' and its cpu_name_key, one
// after another with '\n' between them (neither holds a line break); an empty payload says that
// any row may have changed (an operator's command, sent in its own transaction).
inline constexpr std::string_view row_notice_channel = "vornmark_rows";

// Where notices of changed rows go: the answers kept about rows.
class RowNoticeSink {
public:
    virtual ~RowNoticeSink() = default;
    virtual void row_changed(std::string_view type, std::string_view cpu_key) = 0;
    virtual void all_rows_changed() = 0;
    // Whether every change from now on will be noticed (listening), or may be missed (not
    // listening, the connection lost).
    virtual void notices_trusted(bool trusted) = 0;
};

// Where this process's own changes of rows go once committed, to be told to the other processes.
class RowNoticePublisher {
public:
    virtual ~RowNoticePublisher() = default;
    virtual void publish(std::string_view type, std::string_view cpu_key) = 0;
};

}  // namespace vornmark::server
