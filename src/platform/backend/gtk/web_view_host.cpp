#include "platform/backend/gtk/web_view_host.h"

#include <webkit2/webkit2.h>

#include <cstdio>

#include "platform/win/text_encoding.h"
#include "platform/win/window.h"

namespace gtkdesk {
namespace {

constexpr char kHandlerName[] = "nebriskExternal";
// A page may not pass more arguments than any host method takes; this only bounds the work.
constexpr int kMaxArguments = 64;

gpointer Data(HWND hwnd) {
    return static_cast<gpointer>(hwnd);
}
HWND Hwnd(gpointer data) {
    return static_cast<HWND>(data);
}

// A JSON string literal; everything outside plain ASCII is escaped so the script stays valid.
std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '<' && c != '>') {
            out += static_cast<char>(c);
            continue;
        }
        auto unit = [&out](unsigned u) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u & 0xFFFF);
            out += buf;
        };
        const auto cp = static_cast<uint32_t>(c);
        if (cp > 0xFFFF && cp <= 0x10FFFF) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp > 0x10FFFF ? 0xFFFD : cp);
        }
    }
    return out + "\"";
}

std::wstring ToLowerAscii(std::wstring s) {
    for (auto& c : s)
        if (c >= L'A' && c <= L'Z')
            c = c - L'A' + L'a';
    return s;
}

void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
    const HWND view = Hwnd(data);
    // A late message from a page whose window is already gone has nobody to go to.
    if (!win::FindWindowRecord(view))
        return;
    win::ScriptCall call;
    if (!ReadScriptCall(webkit_javascript_result_get_js_value(result), call))
        return;
    // This may create or close windows (and views) re-entrantly; nothing is used afterwards.
    win::DeliverScriptCall(view, call);
}

gboolean OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer) {
    // A silent view shows no boxes: confirm answers no, prompt answers null, leaving is allowed.
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
        case WEBKIT_SCRIPT_DIALOG_CONFIRM:
            webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
            break;
        case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
            webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
            break;
        default:
            break;
    }
    return TRUE;
}

// A page whose web process died keeps its last picture but no longer reacts, and the launcher
// has no reload key: load it again. A page that brings its process down again soon after stays
// as it is, so a crashing page cannot loop; F5 or a new navigation still loads it.
constexpr gint64 kCrashReloadGapUs = 10 * G_USEC_PER_SEC;
constexpr char kLastCrashReload[] = "nebrisk-last-crash-reload";

void OnWebProcessTerminated(WebKitWebView* wv, WebKitWebProcessTerminationReason reason, gpointer) {
    if (reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API)
        return;
    const gint64 now = g_get_monotonic_time();
    const auto* last =
        static_cast<const gint64*>(g_object_get_data(G_OBJECT(wv), kLastCrashReload));
    if (last && now - *last < kCrashReloadGapUs)
        return;
    g_object_set_data_full(G_OBJECT(wv), kLastCrashReload, g_memdup2(&now, sizeof now), g_free);
    webkit_web_view_reload(wv);
}

gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
    win::DesktopFocusChanged(Hwnd(data));
    return FALSE;
}

// Dialog views show their page without outer scroll bars, as the embedded browser did.
void HideOuterScrollBars(WebKitUserContentManager* ucm) {
    WebKitUserStyleSheet* sheet =
        webkit_user_style_sheet_new("html{overflow:hidden}", WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                    WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
    webkit_user_content_manager_add_style_sheet(ucm, sheet);
    webkit_user_style_sheet_unref(sheet);
}

}  // namespace

GtkWidget* CreateWebView(HWND view) {
    WebKitUserContentManager* ucm = webkit_user_content_manager_new();
    GtkWidget* widget = webkit_web_view_new_with_user_content_manager(ucm);
    g_object_unref(ucm);  // the view keeps it
    WebKitSettings* settings = webkit_web_view_get_settings(WEBKIT_WEB_VIEW(widget));
    // Static pages: software rendering halves the web process's memory.
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    HideOuterScrollBars(ucm);
    webkit_user_content_manager_register_script_message_handler(ucm, kHandlerName);
    g_signal_connect(ucm, "script-message-received::nebriskExternal", G_CALLBACK(OnScriptMessage),
                     Data(view));
    g_signal_connect(widget, "focus-in-event", G_CALLBACK(OnFocusIn), Data(view));
    g_signal_connect(widget, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated),
                     Data(view));
    return widget;
}

void ReleaseWebView(GtkWidget* widget, HWND view) {
    if (!widget)
        return;
    WebKitWebView* wv = WEBKIT_WEB_VIEW(widget);
    WebKitUserContentManager* ucm = webkit_web_view_get_user_content_manager(wv);
    g_signal_handlers_disconnect_by_data(ucm, Data(view));
    webkit_user_content_manager_unregister_script_message_handler(ucm, kHandlerName);
    webkit_user_content_manager_remove_all_scripts(ucm);
    g_signal_handlers_disconnect_by_data(widget, Data(view));
    webkit_web_view_stop_loading(wv);
}

void NavigateWebView(GtkWidget* widget, const std::string& urlUtf8) {
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(widget),
                             urlUtf8.empty() ? "about:blank" : urlUtf8.c_str());
}

void LoadHtmlInWebView(GtkWidget* widget, const std::string& html, const std::string& baseUtf8) {
    // Bytes, not a C string: the page's own meta charset decides how they are read.
    GBytes* bytes = g_bytes_new(html.data(), html.size());
    webkit_web_view_load_bytes(WEBKIT_WEB_VIEW(widget), bytes, "text/html", nullptr,
                               baseUtf8.empty() ? "about:blank" : baseUtf8.c_str());
    g_bytes_unref(bytes);
}

void SetWebViewSilent(GtkWidget* widget, HWND view, bool silent) {
    g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(OnScriptDialog),
                                         Data(view));
    if (silent)
        g_signal_connect(widget, "script-dialog", G_CALLBACK(OnScriptDialog), Data(view));
}

void SetWebViewHostObject(GtkWidget* widget, HWND,
                          const std::vector<win::ExternalMethod>& methods) {
    WebKitWebView* wv = WEBKIT_WEB_VIEW(widget);
    WebKitUserContentManager* ucm = webkit_web_view_get_user_content_manager(wv);
    const std::string source = HostObjectScript(methods);
    webkit_user_content_manager_remove_all_scripts(ucm);
    WebKitUserScript* script =
        webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(ucm, script);
    webkit_user_script_unref(script);
    // A page that is already there gets the object too (the script above covers later ones).
    webkit_web_view_evaluate_javascript(wv, source.c_str(), static_cast<gssize>(source.size()),
                                        nullptr, nullptr, nullptr, nullptr, nullptr);
}

std::string HostObjectScript(const std::vector<win::ExternalMethod>& methods) {
    std::string table = "{";
    for (const auto& m : methods) {
        if (table.size() > 1)
            table += ",";
        table += JsonString(ToLowerAscii(m.name)) + ":[" + JsonString(m.name) + "," +
                 std::to_string(m.parameterCount < 0 ? 0 : m.parameterCount) + "]";
    }
    table += "}";
    return R"JS((function () {
  'use strict';
  var handlers = window.webkit && window.webkit.messageHandlers;
  var post = handlers && handlers.nebriskExternal;
  if (!post) return;
  var send = post.postMessage.bind(post);
  var table = Object.assign(Object.create(null), )JS" +
           table + R"JS();
  function method(entry) {
    return function () {
      var n = arguments.length;
      if (n > entry[1]) throw new Error('Wrong number of arguments or invalid property assignment');
      if (n < entry[1]) throw new Error('Type mismatch');
      var args = [];
      for (var i = 0; i < n; i++) {
        var a = arguments[i], t = typeof a;
        if (t === 'string') args.push({t: 's', v: a});
        else if (t === 'number') args.push({t: 'n', v: a});
        else if (t === 'boolean') args.push({t: 'b', v: a});
        else if (t === 'undefined') args.push({t: 'u'});
        else throw new Error('Type mismatch');
      }
      send({name: entry[0], args: args});
      return undefined;
    };
  }
  var external = new Proxy(Object.create(null), {
    get: function (target, name) {
      if (typeof name !== 'string') return undefined;
      var entry = table[name.toLowerCase()];
      return entry ? method(entry) : undefined;
    },
    has: function (target, name) {
      return typeof name === 'string' && (name.toLowerCase() in table);
    },
    set: function () { return true; }
  });
  try {
    Object.defineProperty(window, 'external', {value: external, configurable: true, writable: false});
  } catch (e) {}
})();)JS";
}

bool ReadScriptCall(JSCValue* message, win::ScriptCall& call) {
    if (!message || !jsc_value_is_object(message))
        return false;
    JSCValue* name = jsc_value_object_get_property(message, "name");
    JSCValue* args = jsc_value_object_get_property(message, "args");
    bool ok = jsc_value_is_string(name) && jsc_value_is_array(args);
    if (ok) {
        char* text = jsc_value_to_string(name);
        call.name = win::FromUtf8(text ? text : "");
        g_free(text);
        JSCValue* length = jsc_value_object_get_property(args, "length");
        const int n = jsc_value_to_int32(length);
        g_object_unref(length);
        ok = n >= 0 && n <= kMaxArguments;
        for (int i = 0; ok && i < n; ++i) {
            JSCValue* arg = jsc_value_object_get_property_at_index(args, i);
            JSCValue* tag =
                jsc_value_is_object(arg) ? jsc_value_object_get_property(arg, "t") : nullptr;
            JSCValue* v =
                jsc_value_is_object(arg) ? jsc_value_object_get_property(arg, "v") : nullptr;
            char* t = tag && jsc_value_is_string(tag) ? jsc_value_to_string(tag) : nullptr;
            win::ScriptValue value;
            // Only text, numbers, booleans and undefined can become the host's text arguments.
            if (t && v && std::string(t) == "s" && jsc_value_is_string(v)) {
                char* s = jsc_value_to_string(v);
                value.kind = win::ScriptValue::Kind::String;
                value.string = win::FromUtf8(s ? s : "");
                g_free(s);
            } else if (t && v && std::string(t) == "n" && jsc_value_is_number(v)) {
                value.kind = win::ScriptValue::Kind::Number;
                value.number = jsc_value_to_double(v);
            } else if (t && v && std::string(t) == "b" && jsc_value_is_boolean(v)) {
                value.kind = win::ScriptValue::Kind::Boolean;
                value.boolean = jsc_value_to_boolean(v);
            } else if (t && std::string(t) == "u") {
                // An explicit undefined converts to empty text.
                value.kind = win::ScriptValue::Kind::Undefined;
            } else {
                ok = false;
            }
            call.args.push_back(value);
            g_free(t);
            if (v)
                g_object_unref(v);
            if (tag)
                g_object_unref(tag);
            g_object_unref(arg);
        }
    }
    g_object_unref(args);
    g_object_unref(name);
    return ok;
}

}  // namespace gtkdesk
