#pragma once
// The Ui port: everything an operation may do to or read from the main window,
// in GBK text. The Qt main window implements it; tests use a recording fake.
//
// Any thread may call any member. Reads never wait for the window thread: they
// answer from a copy of the window's values that is kept current. Writes take
// effect in the copy at once (a worker that adds rows and then counts them sees
// its own rows) and reach the widgets in the order each thread made them.
#include <string>

#include "web/text.h"

namespace velkor {

// A row of the activity list 超级列表框2, its four columns in order.
struct ActivityRow {
    Text name, start, end, link;
    bool operator==(const ActivityRow&) const = default;
};

// A row of the record list 超级列表框1: item name, price, time received.
struct RecordRow {
    Text name, price, time;
    bool operator==(const RecordRow&) const = default;
};

// The small edit boxes of the timed-grab panel.
enum class EditBox {
    hour,         // 编辑框1
    minute,       // 编辑框2
    second,       // 编辑框3
    threads,      // 编辑框6
    activity_id,  // 编辑框_活动ID
    flow_id,      // 编辑框_道具ID
};
inline constexpr int edit_box_count = 6;

class Ui {
  public:
    virtual ~Ui() = default;

    // Appends to the end of the output box 编辑框_输出 and scrolls to it. The text
    // carries its own "\r\n"; lines of one thread keep their order.
    virtual void append_output(const Text& text) = 0;

    // --- area list 组合框1 (always one item selected) ---------------------------------
    virtual int selected_area_index() const = 0;  // 0-based
    virtual Text selected_area_text() const = 0;
    virtual TextList area_items() const = 0;
    // Out-of-range indexes are ignored.
    virtual void select_area(int index) = 0;

    // --- timed-grab panel ---------------------------------------------------------------
    virtual Text edit_text(EditBox box) const = 0;
    // True while 单选框_CF is the selected option (else 单选框_QVIP).
    virtual bool cf_option_selected() const = 0;

    // Outer width of the main window (805 brings the right column into view).
    virtual void set_window_width(int width) = 0;

    // --- activity list 超级列表框2: rows from 0, columns 1..4 ----------------------------
    // (name, start time, end time, address)
    virtual void clear_activity_rows() = 0;
    // Adds a row at the end and scrolls the list to it.
    virtual void add_activity_row(const ActivityRow& row) = 0;
    virtual int activity_row_count() const = 0;
    // Empty for a row or column that does not exist.
    virtual Text activity_cell(int row, int column) const = 0;
    virtual int selected_activity_row() const = 0;  // -1 when none

    // --- record list 超级列表框1: rows from 0, columns 1..3 ------------------------------
    // (item name, price, time received)
    virtual void clear_record_rows() = 0;
    // Adds a row at the end and scrolls the list to it.
    virtual void add_record_row(const RecordRow& row) = 0;
    virtual int record_row_count() const = 0;
    virtual Text record_cell(int row, int column) const = 0;

    // --- avatar 图片框1 -------------------------------------------------------------------
    // Picture file bytes (any format the window can read); bad bytes show nothing.
    virtual void set_avatar(const std::string& bytes) = 0;
    virtual void show_avatar() = 0;

    virtual void set_clipboard_text(const Text& text) = 0;
    virtual void open_in_browser(const Text& url) = 0;

    // Lets the window handle its pending events when called on the window thread
    // during a long operation; does nothing on other threads.
    virtual void pump_events() = 0;
};

}  // namespace velkor
