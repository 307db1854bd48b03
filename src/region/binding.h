#pragma once
// Binding the selected area to every collected activity.
#include "app/commands.h"

namespace velkor {

// Path of the file that remembers the area bound per account.
std::string area_memory_path();

// Press of 按钮_绑定大区 (its guard has passed). The area is the one selected at the
// press. Off the window thread, in this order: the role lookup into role_name, its
// line, the area remembered for the account, then the binding worker.
void bind_press(Context& context);

// Per collected activity: its page, the binding's role query, the sign-up, one line,
// a pause of 100 ms. activity_ids is replaced as a whole at the end.
void binding_worker(Context context);

void plug_binding(Commands& commands);

}  // namespace velkor
