"""The driver's list verbs on the real chat list window and an HTML list (e2e_lists): items as screen
readers read them, tab changes that reach the window, double and right clicks on an item,
a choice in the context menu and a click on an HTML item."""

import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))  # tests/e2e

import e2e  # noqa: E402
from dravelon_res import (CAPTIONS, CONTROLS, IDC_HISTORY_LIST, IDC_LIST_TABS, IDC_USER_LIST, IDCANCEL,  # noqa: E402
                          KOREAN_TEXTS, STRINGS)
from peers import wait_until  # noqa: E402

TARGET = os.path.join(e2e.BIN_DIR, "e2e_lists.exe")
CHAT_LIST_TITLE = CAPTIONS["IDD_CHAT_LIST"]
HOST_TITLE = "HTML list target"
VK_DOWN, VK_RETURN = 0x28, 0x0D
ROLE_LIST, ROLE_LISTITEM, ROLE_PUSHBUTTON = 0x21, 0x22, 0x2B
ONLINE, OFFLINE = STRINGS["IDS_CHATLIST_ONLINE"], STRINGS["IDS_CHATLIST_OFFLINE"]


class ListVerbsTest(e2e.E2ETestCase):
    def setUp(self):
        super().setUp()
        if not os.path.isfile(TARGET):
            self.skipTest(f"{TARGET} not built (target e2e)")
        handle, self.report = tempfile.mkstemp(prefix="e2e-lists-", suffix=".txt")
        os.close(handle)
        self.addCleanup(os.unlink, self.report)
        self.launch(TARGET, e2e.windows_path(self.report))
        self.chat_list = self.driver.wait(title=CHAT_LIST_TITLE, visible=1, timeout=20000)
        self.host = self.driver.wait(title=HOST_TITLE, visible=1, timeout=10000)

    def reported(self) -> list[str]:
        with open(self.report, encoding="utf-8") as lines:
            return [line.rstrip("\n") for line in lines]

    def wait_report(self, line: str) -> None:
        wait_until(f"{line!r} in the report", lambda: line in self.reported(), timeout=10)

    def users(self) -> list[tuple]:
        items = self.driver.cmd("list-items", hwnd=self.chat_list["hwnd"], id=IDC_USER_LIST)["items"]
        return [(i["text"], i["description"], i["enabled"]) for i in items]

    def item_centre(self, text: str) -> dict:
        items = self.driver.cmd("list-items", hwnd=self.chat_list["hwnd"], id=IDC_USER_LIST)["items"]
        left, top, right, bottom = next(i for i in items if i["text"] == text)["rect"]
        return {"x": (left + right) // 2, "y": (top + bottom) // 2}

    def test_user_list_items_tabs_and_clicks(self):
        self.assertEqual(self.users(), [("이영희", ONLINE, True), ("박민수", OFFLINE, True)])
        answer = self.driver.cmd("list-items", hwnd=self.chat_list["hwnd"], id=IDC_USER_LIST)
        self.assertEqual([i["height"] for i in answer["items"]], [40, 40], "one line with 32 x 32 icons")
        self.assertEqual(answer["selected"], -1)

        tabs = self.driver.cmd("select-tab", hwnd=self.chat_list["hwnd"], id=IDC_LIST_TABS, index=1)
        self.assertEqual((tabs["count"], tabs["selected"], tabs["enabled"]), (2, 1, True))
        self.wait_report(f"collect {KOREAN_TEXTS['kEverybodyList']}")
        self.assertEqual(self.users(), [("이영희", ONLINE, True), ("박민수", OFFLINE, True), ("관리자", OFFLINE, True)])

        self.driver.cmd("mouse", hwnd=self.chat_list["hwnd"], id=IDC_USER_LIST, button="double",
                        **self.item_centre("박민수"))
        self.wait_report("open 박민수 park")

        self.driver.cmd("mouse", hwnd=self.chat_list["hwnd"], id=IDC_USER_LIST, button="right",
                        **self.item_centre("관리자"))
        menu = self.driver.wait(class_="#32768", visible=1, timeout=5000)
        self.driver.cmd("key", hwnd=menu["hwnd"], vk=VK_DOWN)
        self.driver.cmd("key", hwnd=menu["hwnd"], vk=VK_RETURN)
        self.wait_report("append tervo")
        # Added from the all-users view: the user leaves that view until the next reload.
        self.assertEqual([u[0] for u in self.users()], ["이영희", "박민수"])
        self.assertNotIn("delete tervo", self.reported())

    def test_html_list_items_and_a_click_on_one(self):
        def painted():
            items = self.driver.cmd("html-items", hwnd=self.host["hwnd"], id=IDC_HISTORY_LIST)["items"]
            return items if all(i["rect"][3] > i["rect"][1] for i in items) else None
        items = wait_until("the HTML list painted", painted, timeout=10)
        # A conversation's history: sender, message and time, without markup.
        self.assertEqual([(i["text"], i["checked"]) for i in items],
                         [("이영희\n안녕하세요\n2026-12-08 AM 09:00:00", 1), ("반갑습니다\n2026/12/08 AM 09:00:05", 0),
                          ("File_report.bin", 1)])
        self.assertEqual([i["index"] for i in items], [0, 1, 2])
        left, top, right, bottom = items[2]["rect"]
        self.driver.cmd("mouse", hwnd=self.host["hwnd"], id=IDC_HISTORY_LIST, x=(left + right) // 2,
                        y=(top + bottom) // 2)
        self.wait_report("select 2")
        answer = self.driver.cmd("html-items", hwnd=self.host["hwnd"], id=IDC_HISTORY_LIST)
        self.assertEqual((answer["selected"], [i["selected"] for i in answer["items"]]), (2, [False, False, True]))

    def acc_items(self, **selector) -> dict:
        """The driver's screen-reader view of a window; a failure names the platform call and its HRESULT."""
        answer = self.driver.cmd("acc-items", check=False, **selector)
        if not answer["ok"]:
            self.fail(f"Active Accessibility across processes: {answer}")
        return answer

    def test_screen_readers_hear_the_roles_of_lists_and_buttons(self):
        for window in (self.chat_list, self.host):
            listed = self.acc_items(hwnd=window["hwnd"], id=IDC_HISTORY_LIST if window is self.host else IDC_USER_LIST)
            self.assertEqual((listed["self"]["role"], {i["role"] for i in listed["items"]}), (ROLE_LIST, {ROLE_LISTITEM}))

        close = self.acc_items(hwnd=self.chat_list["hwnd"], id=IDCANCEL)
        self.assertEqual((close["self"]["name"], close["self"]["role"], close["self"]["default-action"]),
                         (CONTROLS["IDD_CHAT_LIST"]["IDCANCEL"], ROLE_PUSHBUTTON, STRINGS["IDS_CONTROLS_PRESS"]))
        self.assertEqual(close["count"], 0)

    def test_html_items_refuses_other_windows(self):
        answer = self.driver.cmd("html-items", check=False, hwnd=self.chat_list["hwnd"], id=IDC_USER_LIST)
        self.assertFalse(answer["ok"])
        self.assertIn("not an HTML list", answer["error"])


if __name__ == "__main__":
    e2e.main()
