#pragma once

// The watcher's user-interface texts in Windows-1251, the code page the window and the controls
// show them in through the A functions. Escaped, because a plain literal would be stored as
// UTF-8; each count pins the bytes, and the runs of spaces are deliberate: the labels line the
// numbers up after them.

// "следим за форумом": title of the main window.
constexpr char TitleText[] = "\xF1\xEB\xE5\xE4\xE8\xEC \xE7\xE0 \xF4\xEE\xF0\xF3\xEC\xEE\xEC";
static_assert(sizeof TitleText - 1 == 17, "one byte per character");

// Label 1 holds the time of the last poll; empty until the first poll ends.
constexpr char Label1Initial[] = "";

// "Всего сообщений:": label 3 before the first total is known.
constexpr char Label3Initial[] = "\xC2\xF1\xE5\xE3\xEE \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9:";
static_assert(sizeof Label3Initial - 1 == 16, "one byte per character");

// "Новых:   нет" (three spaces): label 4 at start-up.
constexpr char Label4Initial[] = "\xCD\xEE\xE2\xFB\xF5:   \xED\xE5\xF2";
static_assert(sizeof Label4Initial - 1 == 12, "three spaces after the colon");

// "Новых:    нет" (four spaces): label 4 after the user acknowledged an alert.
constexpr char Label4Acknowledged[] = "\xCD\xEE\xE2\xFB\xF5:    \xED\xE5\xF2";
static_assert(sizeof Label4Acknowledged - 1 == 13, "four spaces after the colon");

// "Всего сообщений:     " (five spaces): label 3, followed by the total.
constexpr char TotalPrefix[] = "\xC2\xF1\xE5\xE3\xEE \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9:     ";
static_assert(sizeof TotalPrefix - 1 == 21, "five spaces after the colon");

// "Новых:    " (four spaces): label 4, followed by the count of changes.
constexpr char NewPrefix[] = "\xCD\xEE\xE2\xFB\xF5:    ";
static_assert(sizeof NewPrefix - 1 == 10, "four spaces after the colon");

// "Обновлено в : ": label 1, followed by the time stamp.
constexpr char StampPrefix[] = "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xEE \xE2 : ";
static_assert(sizeof StampPrefix - 1 == 14, "one byte per character");

// Hours, minutes and seconds, two digits each.
constexpr char StampMask[] = "%hh:%ii:%ss";
static_assert(sizeof StampMask - 1 == 11, "plain ASCII");

// The downloaded index page, in the user's temporary folder.
constexpr char PageFileName[] = "Temp.htm";
static_assert(sizeof PageFileName - 1 == 8, "plain ASCII");

// The forum index under the site root.
constexpr char IndexPath[] = "phpBB2/";
static_assert(sizeof IndexPath - 1 == 7, "plain ASCII");

// What the message box says when the watcher cannot start, or will not take its argument. Shown
// through the wide functions after conversion from Windows-1251, so they read right under any
// ANSI code page.

// "Не удалось запустить: не хватает памяти."
constexpr char NoHeapText[] =
    "\xCD\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xE7\xE0\xEF\xF3\xF1\xF2\xE8\xF2\xFC: \xED\xE5 "
    "\xF5\xE2\xE0\xF2\xE0\xE5\xF2 \xEF\xE0\xEC\xFF\xF2\xE8.";
static_assert(sizeof NoHeapText - 1 == 40, "one byte per character");

// "Не удалось запустить: система не дала создать блокировку."
constexpr char NoLockText[] =
    "\xCD\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xE7\xE0\xEF\xF3\xF1\xF2\xE8\xF2\xFC: \xF1\xE8\xF1"
    "\xF2\xE5\xEC\xE0 \xED\xE5 \xE4\xE0\xEB\xE0 \xF1\xEE\xE7\xE4\xE0\xF2\xFC \xE1\xEB\xEE\xEA"
    "\xE8\xF0\xEE\xE2\xEA\xF3.";
static_assert(sizeof NoLockText - 1 == 57, "one byte per character");

// "Не удалось запустить: не создаётся окно."
constexpr char NoWindowText[] =
    "\xCD\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xE7\xE0\xEF\xF3\xF1\xF2\xE8\xF2\xFC: \xED\xE5 "
    "\xF1\xEE\xE7\xE4\xE0\xB8\xF2\xF1\xFF \xEE\xEA\xED\xEE.";
static_assert(sizeof NoWindowText - 1 == 40, "one byte per character");

// "Не удалось запустить: временная папка недоступна для записи: ", followed by the folder.
constexpr char NoTempFolderText[] =
    "\xCD\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xE7\xE0\xEF\xF3\xF1\xF2\xE8\xF2\xFC: \xE2\xF0\xE5"
    "\xEC\xE5\xED\xED\xE0\xFF \xEF\xE0\xEF\xEA\xE0 \xED\xE5\xE4\xEE\xF1\xF2\xF3\xEF\xED\xE0 "
    "\xE4\xEB\xFF \xE7\xE0\xEF\xE8\xF1\xE8: ";
static_assert(sizeof NoTempFolderText - 1 == 61, "one byte per character");

// "Запуск: forumwatch.exe [http(s)://адрес.форума/]": an argument the watcher cannot take.
constexpr char UsageText[] =
    "\xC7\xE0\xEF\xF3\xF1\xEA: forumwatch.exe [http(s)://\xE0\xE4\xF0\xE5\xF1.\xF4\xEE\xF0\xF3"
    "\xEC\xE0/]";
static_assert(sizeof UsageText - 1 == 48, "one byte per character");

// "Имя сервера не переводится в ASCII: понимаются кириллические имена, другие укажите в виде
// xn--.": a host in letters the watcher cannot put into the form the network takes.
constexpr char HostNotAsciiText[] =
    "\xC8\xEC\xFF \xF1\xE5\xF0\xE2\xE5\xF0\xE0 \xED\xE5 \xEF\xE5\xF0\xE5\xE2\xEE\xE4\xE8\xF2"
    "\xF1\xFF \xE2 ASCII: \xEF\xEE\xED\xE8\xEC\xE0\xFE\xF2\xF1\xFF \xEA\xE8\xF0\xE8\xEB\xEB\xE8"
    "\xF7\xE5\xF1\xEA\xE8\xE5 \xE8\xEC\xE5\xED\xE0, \xE4\xF0\xF3\xE3\xE8\xE5 \xF3\xEA\xE0\xE6"
    "\xE8\xF2\xE5 \xE2 \xE2\xE8\xE4\xE5 xn--.";
static_assert(sizeof HostNotAsciiText - 1 == 95, "one byte per character");
