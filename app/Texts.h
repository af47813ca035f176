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
