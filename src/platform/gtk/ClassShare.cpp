#include "platform/gtk/ClassShare.h"

#include <signal.h>
#include <sys/prctl.h>

#include <memory>
#include <string_view>

#include "platform/gtk/Log.h"

namespace qil::gtk {

namespace {

constexpr const char* kServeProgram = "orvella-serve";
constexpr const char* kAccessLog = "/dev/null";
constexpr std::string_view kListening = "Listening on ";
constexpr std::string_view kStudents = "Students open ";
constexpr guint kSettleMilliseconds = 300;  // for the "Students open" lines after "Listening on"
constexpr int kStopResponse = 1;

std::string OwnFolder() {
  gchar* exe = g_file_read_link("/proc/self/exe", nullptr);
  if (!exe) return "";
  gchar* folder = g_path_get_dirname(exe);
  std::string result = folder;
  g_free(folder);
  g_free(exe);
  return result;
}

bool IsProgram(const std::string& path) {
  return g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR) &&
         g_file_test(path.c_str(), G_FILE_TEST_IS_EXECUTABLE);
}

std::string TakeString(gchar* text) {
  std::string result = text ? text : "";
  g_free(text);
  return result;
}

// The server dies with the program even when the program is killed.
void DieWithParent(gpointer) { prctl(PR_SET_PDEATHSIG, SIGTERM); }

// One asynchronous call on the current child. Its owner is reached only while
// the child's calls are not cancelled: a child that has been ended (or an
// owner that is gone) is never called back.
struct Call {
  ClassShare* owner;
  GCancellable* cancel;
};

gpointer NewCall(ClassShare* owner, GCancellable* cancel) {
  return new Call{owner, G_CANCELLABLE(g_object_ref(cancel))};
}

ClassShare* Reach(gpointer data) {
  std::unique_ptr<Call> call(static_cast<Call*>(data));
  const bool wanted = !g_cancellable_is_cancelled(call->cancel);
  g_object_unref(call->cancel);
  return wanted ? call->owner : nullptr;
}

// Waits until child has exited, at most seconds, without running the main
// loop's other sources. True when it exited.
bool WaitForExit(GSubprocess* child, guint seconds) {
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  GCancellable* cancel = g_cancellable_new();
  GSource* timer = g_timeout_source_new(seconds * 1000);
  g_source_set_callback(
      timer,
      +[](gpointer cancel) -> gboolean {
        g_cancellable_cancel(G_CANCELLABLE(cancel));
        return G_SOURCE_REMOVE;
      },
      cancel, nullptr);
  g_source_attach(timer, context);
  struct Wait {
    bool done = false;
    bool exited = false;
  } wait;
  g_subprocess_wait_async(
      child, cancel,
      +[](GObject* source, GAsyncResult* result, gpointer data) {
        auto* wait = static_cast<Wait*>(data);
        wait->exited = g_subprocess_wait_finish(G_SUBPROCESS(source), result, nullptr);
        wait->done = true;
      },
      &wait);
  while (!wait.done) g_main_context_iteration(context, TRUE);
  g_source_destroy(timer);
  g_source_unref(timer);
  g_object_unref(cancel);
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
  return wait.exited;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

}  // namespace

std::vector<std::string> ServeCommand(const std::string& own_folder, const std::string& archive,
                                      int port) {
  std::string program;
  if (!own_folder.empty()) {
    program = TakeString(g_build_filename(own_folder.c_str(), kServeProgram, nullptr));
    if (!IsProgram(program)) program.clear();
  }
  if (program.empty()) program = TakeString(g_find_program_in_path(kServeProgram));
  if (program.empty()) return {};
  const std::string disc = TakeString(g_canonicalize_filename(archive.c_str(), nullptr));
  return {program, "--archive", disc, "--port", std::to_string(port), "--log", kAccessLog};
}

void ServeStartup::Note(std::string line) {
  while (!line.empty() && g_ascii_isspace(line.back())) line.pop_back();
  if (line.empty()) return;
  last_line = line;
  if (line.starts_with(kListening)) {
    listening = line.substr(kListening.size());
  } else if (line.starts_with(kStudents)) {
    students.push_back(line.substr(kStudents.size()));
  }
}

std::vector<std::string> ServeStartup::Addresses() const {
  if (!students.empty()) return students;
  if (!listening.empty()) return {listening};
  return {};
}

ClassShare::ClassShare(GApplication* application, std::function<void(bool)> on_change)
    : application_(application), on_change_(std::move(on_change)) {
  action_ = g_simple_action_new_stateful(kActionName, nullptr, g_variant_new_boolean(FALSE));
  g_simple_action_set_enabled(action_, FALSE);
  g_signal_connect(action_, "change-state", G_CALLBACK(OnChangeState), this);
  g_action_map_add_action(G_ACTION_MAP(application_), G_ACTION(action_));
}

ClassShare::~ClassShare() {
  EndChild();
  g_signal_handlers_disconnect_by_data(action_, this);
  g_action_map_remove_action(G_ACTION_MAP(application_), kActionName);
  g_object_unref(action_);
}

void ClassShare::Offer(const std::string& archive, const std::string& title) {
  archive_ = archive;
  title_ = title;
  g_simple_action_set_enabled(action_, !archive_.empty());
}

void ClassShare::OnChangeState(GSimpleAction*, GVariant* value, gpointer data) {
  auto* self = static_cast<ClassShare*>(data);
  const bool wanted = g_variant_get_boolean(value);
  if (wanted && !self->Sharing()) self->Start();
  if (!wanted && self->Sharing()) self->Stop();
}

void ClassShare::Start() {
  if (Sharing() || archive_.empty()) return;
  SetState(true);
  Launch(kPort);
}

void ClassShare::Launch(int port) {
  startup_ = {};
  std::string error;
  if (!Spawn(port, error)) {
    Fail(error);
    return;
  }
  start_timer_ = g_timeout_add(
      kStartSeconds * 1000,
      +[](gpointer self) -> gboolean {
        static_cast<ClassShare*>(self)->start_timer_ = 0;
        static_cast<ClassShare*>(self)->OnStartTimeout();
        return G_SOURCE_REMOVE;
      },
      this);
}

bool ClassShare::Spawn(int port, std::string& error) {
  const std::vector<std::string> command = ServeCommand(OwnFolder(), archive_, port);
  if (command.empty()) {
    error = std::string("The classroom server (") + kServeProgram +
            ") is neither next to this program nor on PATH.";
    return false;
  }
  std::vector<const char*> argv;
  for (const std::string& argument : command) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  GSubprocessLauncher* launcher = g_subprocess_launcher_new(static_cast<GSubprocessFlags>(
      G_SUBPROCESS_FLAGS_STDERR_PIPE | G_SUBPROCESS_FLAGS_STDOUT_SILENCE));
  g_subprocess_launcher_set_child_setup(launcher, DieWithParent, nullptr, nullptr);
  GError* spawn_error = nullptr;
  child_ = g_subprocess_launcher_spawnv(launcher, argv.data(), &spawn_error);
  g_object_unref(launcher);
  if (!child_) {
    error = "Cannot start the classroom server: " + std::string(spawn_error->message);
    g_error_free(spawn_error);
    return false;
  }
  port_ = port;
  listening_ = false;
  cancel_ = g_cancellable_new();
  stderr_ = g_data_input_stream_new(g_subprocess_get_stderr_pipe(child_));
  LogEvent("sharing: started %s (pid %s) on port %d", command[0].c_str(),
           g_subprocess_get_identifier(child_), port);
  ReadLine();
  return true;
}

void ClassShare::ReadLine() {
  g_data_input_stream_read_line_async(
      stderr_, G_PRIORITY_DEFAULT, cancel_,
      +[](GObject* source, GAsyncResult* result, gpointer data) {
        gchar* line = g_data_input_stream_read_line_finish(G_DATA_INPUT_STREAM(source), result,
                                                           nullptr, nullptr);
        if (ClassShare* self = Reach(data)) {
          if (line) {
            self->OnLine(line);
          } else {
            self->OnStderrEnded();
          }
        }
        g_free(line);
      },
      NewCall(this, cancel_));
}

void ClassShare::OnLine(const char* line) {
  LogEvent("sharing: the server says: %s", line);
  startup_.Note(line);
  if (!listening_ && !startup_.listening.empty()) {
    listening_ = true;
    if (start_timer_) g_source_remove(start_timer_);
    start_timer_ = 0;
    settle_timer_ = g_timeout_add(
        kSettleMilliseconds,
        +[](gpointer self) -> gboolean {
          static_cast<ClassShare*>(self)->settle_timer_ = 0;
          static_cast<ClassShare*>(self)->ShowAddresses();
          return G_SOURCE_REMOVE;
        },
        this);
  } else if (addresses_label_) {
    gtk_label_set_text(GTK_LABEL(addresses_label_), Joined(startup_.Addresses()).c_str());
  }
  ReadLine();  // the pipe is drained for as long as the server runs
}

void ClassShare::OnStderrEnded() {
  g_subprocess_wait_async(
      child_, cancel_,
      +[](GObject* source, GAsyncResult* result, gpointer data) {
        g_subprocess_wait_finish(G_SUBPROCESS(source), result, nullptr);
        if (ClassShare* self = Reach(data)) self->OnExited();
      },
      NewCall(this, cancel_));
}

void ClassShare::OnExited() {
  const bool exited = g_subprocess_get_if_exited(child_);
  const int status = exited ? g_subprocess_get_exit_status(child_) : -1;
  LogEvent("sharing: the server ended (status %d)", status);
  if (listening_) {
    Fail("The classroom server has stopped.\n" + startup_.last_line);
    return;
  }
  if (status == 2 && port_ == kPort) {
    LogEvent("sharing: port %d refused; trying a free port", kPort);
    EndChild();
    Launch(0);
    return;
  }
  Fail(startup_.last_line.empty() ? "The classroom server ended before it could take students."
                                  : startup_.last_line);
}

void ClassShare::OnStartTimeout() {
  Fail("The classroom server did not start within " + std::to_string(kStartSeconds) +
       " seconds.\n" + startup_.last_line);
}

void ClassShare::ShowAddresses() {
  const std::vector<std::string> addresses = startup_.Addresses();
  for (const std::string& address : addresses) {
    LogEvent("sharing: students open %s", address.c_str());
  }
  dialog_ = gtk_message_dialog_new(nullptr, GtkDialogFlags(0), GTK_MESSAGE_INFO, GTK_BUTTONS_NONE,
                                   "The disc is shared with the class");
  gtk_message_dialog_format_secondary_text(
      GTK_MESSAGE_DIALOG(dialog_), "%s",
      addresses.size() == 1 ? "Students type this address into their browsers:"
                            : "Students type one of these addresses into their browsers:");
  gtk_window_set_title(GTK_WINDOW(dialog_), "Share with the class");
  gtk_window_set_position(GTK_WINDOW(dialog_), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog_), TRUE);

  addresses_label_ = gtk_label_new(Joined(addresses).c_str());
  gtk_label_set_selectable(GTK_LABEL(addresses_label_), TRUE);
  gtk_label_set_justify(GTK_LABEL(addresses_label_), GTK_JUSTIFY_CENTER);
  PangoAttrList* attributes = pango_attr_list_new();
  pango_attr_list_insert(attributes, pango_attr_scale_new(1.4));
  pango_attr_list_insert(attributes, pango_attr_weight_new(PANGO_WEIGHT_BOLD));
  gtk_label_set_attributes(GTK_LABEL(addresses_label_), attributes);
  pango_attr_list_unref(attributes);
  GtkWidget* note = gtk_label_new("Sharing goes on until you stop it or close the program.");
  gtk_style_context_add_class(gtk_widget_get_style_context(note), "dim-label");
  GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog_));
  gtk_box_pack_start(GTK_BOX(area), addresses_label_, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(area), note, FALSE, FALSE, 0);

  gtk_dialog_add_button(GTK_DIALOG(dialog_), "_Stop sharing", kStopResponse);
  gtk_dialog_add_button(GTK_DIALOG(dialog_), "_Close", GTK_RESPONSE_CLOSE);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog_), GTK_RESPONSE_CLOSE);
  g_signal_connect(dialog_, "response",
                   G_CALLBACK(+[](GtkDialog* dialog, int response, gpointer data) {
                     auto* self = static_cast<ClassShare*>(data);
                     if (response == kStopResponse) {
                       self->Stop();
                       return;
                     }
                     gtk_widget_destroy(GTK_WIDGET(dialog));
                     self->dialog_ = self->addresses_label_ = nullptr;
                   }),
                   this);
  gtk_widget_show_all(dialog_);
  gtk_widget_grab_focus(
      gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog_), GTK_RESPONSE_CLOSE));
  gtk_window_present(GTK_WINDOW(dialog_));
}

void ClassShare::Stop() {
  if (Sharing()) LogEvent("sharing: stopping");
  EndChild();
  SetState(false);
}

void ClassShare::Fail(const std::string& message) {
  LogEvent("sharing: failed: %s", message.c_str());
  EndChild();
  SetState(false);
  // Not run modally: the action (perhaps called over D-Bus) returns at once,
  // and the program can still quit while the box is up.
  GtkWidget* box = gtk_message_dialog_new(nullptr, GtkDialogFlags(0), GTK_MESSAGE_ERROR,
                                          GTK_BUTTONS_OK, "%s", message.c_str());
  gtk_window_set_title(GTK_WINDOW(box), title_.c_str());
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
  g_signal_connect(box, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
  gtk_widget_show_all(box);
}

void ClassShare::EndChild() {
  if (start_timer_) g_source_remove(start_timer_);
  if (settle_timer_) g_source_remove(settle_timer_);
  start_timer_ = settle_timer_ = 0;
  if (dialog_) {
    g_signal_handlers_disconnect_by_data(dialog_, this);
    gtk_widget_destroy(dialog_);
  }
  dialog_ = addresses_label_ = nullptr;
  if (cancel_) {
    g_cancellable_cancel(cancel_);
    g_object_unref(cancel_);
    cancel_ = nullptr;
  }
  if (child_) {
    g_subprocess_send_signal(child_, SIGTERM);
    if (!WaitForExit(child_, kStopSeconds)) {
      LogEvent("sharing: the server did not stop within %d s; killing it", kStopSeconds);
      g_subprocess_force_exit(child_);
      g_subprocess_wait(child_, nullptr, nullptr);
    }
    LogEvent("sharing: the server has ended");
    g_object_unref(child_);
    child_ = nullptr;
  }
  if (stderr_) g_object_unref(stderr_);
  stderr_ = nullptr;
  listening_ = false;
}

void ClassShare::SetState(bool sharing) {
  g_simple_action_set_state(action_, g_variant_new_boolean(sharing));
  if (on_change_) on_change_(sharing);
}

}  // namespace qil::gtk
