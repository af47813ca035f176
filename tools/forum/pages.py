"""The forum's pages as a phpBB2 board renders them, in Windows-1251: the index with its
statistics, the home page, a 404 page and the broken bodies the misbehaviours send. The server
serves them and bench/make_pages.py saves them for the scan benchmarks."""
import html
import random
import time

import facts

INDEX_PATH = "/" + facts.load()["IndexPath"]
ENCODING = "cp1251"

# What a phpBB2 board sends with every page: the watcher must cope with a page that forbids caching.
PAGE_HEADERS = [
    ("Content-Type", "text/html; charset=windows-1251"),
    ("Cache-Control", "private, pre-check=0, post-check=0, max-age=0"),
    ("Expires", "0"),
    ("Pragma", "no-cache"),
]


# The lines the watcher looks for begin with these, as its scanner spells them.
TOTAL_MARKER, USERS_MARKER = (facts.load()[name] for name in ("TotalMarker", "UsersMarker"))
USER_KINDS = ("normal", "admin", "hidden")
STREAM_CHUNK = 64 << 10  # the pieces a streamed body goes out in

DEFAULT_USERS = [
    {"name": "admin", "id": 2, "kind": "admin"},
    {"name": "Сергей", "id": 57, "kind": "normal"},
    {"name": "mike_k", "id": 118, "kind": "normal"},
]

FORUMS = [
    ("Общие вопросы", [
        ("Новости форума", "Объявления администрации, изменения правил и работы форума"),
        ("Знакомство", "Расскажите о себе: откуда вы и чем занимаетесь"),
        ("Обо всём", "Разговоры на любые темы, не подходящие для других разделов"),
        ("Предложения и замечания", "Что улучшить на форуме; сообщения об ошибках"),
    ]),
    ("Техника", [
        ("Компьютеры", "Сборка, модернизация и ремонт; выбор комплектующих"),
        ("Программы", "Установка и настройка программ, вопросы по Windows"),
        ("Сети и интернет", "Подключение, модемы, локальные сети, провайдеры"),
        ("Программирование", "C++, Delphi, PHP и всё, что компилируется или интерпретируется"),
        ("Железо своими руками", "Паяльник, схемы, доработки и самоделки"),
    ]),
    ("Увлечения", [
        ("Фотография", "Фотоаппараты, объективы, обработка снимков"),
        ("Путешествия", "Маршруты, отчёты о поездках, советы"),
        ("Музыка", "Что слушаем, на чём играем"),
        ("Книги и кино", "Обсуждение прочитанного и просмотренного"),
        ("Спорт", "Футбол, хоккей, лыжи, велосипед"),
    ]),
    ("Дом и семья", [
        ("Дети", "Воспитание, школа, кружки и секции"),
        ("Кулинария", "Рецепты, кухонная техника, застолья"),
        ("Ремонт и строительство", "Квартира, дача, материалы и инструменты"),
        ("Сад и огород", "Рассада, урожай, борьба с вредителями"),
        ("Здоровье", "Врачи, лекарства, образ жизни"),
        ("Домашние животные", "Кошки, собаки, рыбки и все остальные"),
    ]),
    ("Автомобили", [
        ("Отечественные", "ВАЗ, ГАЗ, УАЗ и прочие"),
        ("Иномарки", "Выбор, покупка, обслуживание"),
        ("Ремонт своими руками", "Гаражные истории и советы"),
        ("Дороги и ГИБДД", "Пробки, штрафы, правила"),
    ]),
    ("Город", [
        ("Новости города", "Что происходит вокруг"),
        ("Работа", "Вакансии и резюме"),
        ("Недвижимость", "Квартиры, комнаты, аренда"),
        ("Куда пойти", "Театры, концерты, выставки, кафе"),
    ]),
    ("Барахолка", [
        ("Продам", "Объявления о продаже, с ценой и городом"),
        ("Куплю", "Ищу, куплю, обменяю"),
        ("Отдам даром", "Вещи, которые нужны кому-то больше, чем вам"),
    ]),
]

AUTHORS = ["Сергей", "mike_k", "Ольга", "admin", "Dimon", "Наталья", "vova77", "Гость"]
MONTHS = ["Янв", "Фев", "Мар", "Апр", "Май", "Июн", "Июл", "Авг", "Сен", "Окт", "Ноя", "Дек"]


def valid_user(u):
    return (isinstance(u, str) or
            (isinstance(u, dict) and isinstance(u.get("name"), str)
             and u.get("kind", "normal") in USER_KINDS
             and isinstance(u.get("id", 0), int)))


def normal_user(u, index):
    if isinstance(u, str):
        u = {"name": u}
    return {"name": u["name"], "id": u.get("id", 100 + index), "kind": u.get("kind", "normal")}


def user_link(user):
    """One user as the who-is-online line shows it (the missing space before style is phpBB2's)."""
    href = 'profile.php?mode=viewprofile&amp;u=%d' % user["id"]
    name = html.escape(user["name"], quote=False)
    if user["kind"] == "admin":
        return '<a href="%s"style="color:#FFA34F"><b>%s</b></a>' % (href, name)
    if user["kind"] == "hidden":
        return '<a href="%s"><i>%s</i></a>' % (href, name)
    return '<a href="%s">%s</a>' % (href, name)


def total_line(total, bold, newest):
    """The statistics cell; without `bold` it carries no bold run at all, as a board whose
    template lost the tags would send it, so the watcher finds an empty total."""
    if not bold:
        return ('<td class="row1" align="left" width="100%%"><span class="gensmall">'
                '%s %s<br />'
                'Всего зарегистрированных пользователей: 1873</span>' % (TOTAL_MARKER, total))
    return ('<td class="row1" align="left" width="100%%"><span class="gensmall">'
            '%s <b>%s</b><br />'
            'Всего зарегистрированных пользователей: <b>1873</b><br />'
            'Последний зарегистрированный пользователь: <b><a href="profile.php?mode=viewprofile'
            '&amp;u=%d">%s</a></b></span>' % (TOTAL_MARKER, total, newest["id"], newest["name"]))


def users_line(users):
    hidden = sum(1 for u in users if u["kind"] == "hidden")
    shown = len(users) - hidden
    guests = 4
    listed = ", ".join(user_link(u) for u in users) if users else "Нет"
    return ('<td class="row1" align="left"><span class="gensmall">В настоящее время на форуме '
            '<b>%d</b> пользователей: <b>%d</b> зарегистрированных, <b>%d</b> скрытых и <b>%d</b> '
            'гостей&nbsp;&nbsp; [ <span style="color:#FFA34F">Администратор</span> ]&nbsp;&nbsp;'
            '[ <span style="color:#006600">Модератор</span> ]<br />Больше всего посетителей '
            '(<b>214</b>) было здесь Пн Мар 13, 2006 9:41 pm<br />%s %s</span></td>'
            % (len(users) + guests, shown, hidden, guests, USERS_MARKER, listed))


def forum_rows(seed):
    """The body of the index: categories and forum rows as phpBB2's subSilver template lays them."""
    rnd = random.Random(seed)
    out = []
    forum_id = 1
    for cat_id, (category, forums) in enumerate(FORUMS, 1):
        out.append('  <tr>\n\t<td class="catLeft" colspan="2" height="28"><span class="cattitle">'
                   '<a href="index.php?c=%d" class="cattitle">%s</a></span></td>\n'
                   '\t<td class="rowpic" colspan="3" align="right">&nbsp;</td>\n  </tr>'
                   % (cat_id, category))
        for name, desc in forums:
            topics = rnd.randint(20, 900)
            posts = topics * rnd.randint(3, 25)
            day, month, hour, minute = (rnd.randint(1, 28), rnd.choice(MONTHS),
                                        rnd.randint(0, 23), rnd.randint(0, 59))
            author = rnd.choice(AUTHORS)
            out.append(
                '  <tr>\n'
                '\t<td class="row1" align="center" valign="middle" height="50"><img src="templates/'
                'subSilver/images/folder_big.gif" width="46" height="25" alt="Нет новых сообщений" '
                'title="Нет новых сообщений" /></td>\n'
                '\t<td class="row1" width="100%%" height="50"><span class="forumlink"> <a href="'
                'viewforum.php?f=%d" class="forumlink">%s</a><br />\n\t  </span> <span class="'
                'genmed">%s<br />\n\t  </span><span class="gensmall">Модераторы: <a href="profile'
                '.php?mode=viewprofile&amp;u=57">Сергей</a>, <a href="profile.php?mode=viewprofile'
                '&amp;u=118">mike_k</a> \n\t  </span></td>\n'
                '\t<td class="row2" align="center" valign="middle" height="50"><span class="'
                'gensmall">%d</span></td>\n'
                '\t<td class="row2" align="center" valign="middle" height="50"><span class="'
                'gensmall">%d</span></td>\n'
                '\t<td class="row2" align="center" valign="middle" height="50" nowrap="nowrap"> '
                '<span class="gensmall">%02d %s 2006 %02d:%02d<br /><a href="profile.php?mode='
                'viewprofile&amp;u=%d">%s</a> <a href="viewtopic.php?p=%d#%d"><img src="templates/'
                'subSilver/images/icon_latest_reply.gif" border="0" alt="Посмотреть последнее '
                'сообщение" title="Посмотреть последнее сообщение" /></a></span></td>\n  </tr>'
                % (forum_id, name, desc, topics, posts, day, month, hour, minute,
                   rnd.randint(2, 2000), author, posts * 7, posts * 7))
            forum_id += 1
    return "\n".join(out)


PAGE_HEAD = """<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html dir="ltr">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=windows-1251">
<meta http-equiv="Content-Style-Type" content="text/css">
<link rel="top" href="./index.php" title="Список форумов Домашний форум" />
<link rel="search" href="./search.php" title="Поиск" />
<link rel="help" href="./faq.php" title="FAQ" />
<title>Домашний форум :: Главная страница</title>
<style type="text/css">
<!--
body {{ background-color: #E5E5E5; scrollbar-face-color: #DEE3E7; scrollbar-highlight-color: #FFFFFF;
  scrollbar-shadow-color: #DEE3E7; scrollbar-3dlight-color: #D1D7DC; scrollbar-arrow-color: #006699;
  scrollbar-track-color: #EFEFEF; scrollbar-darkshadow-color: #98AAB1; }}
font,th,td,p {{ font-family: Verdana, Arial, Helvetica, sans-serif }}
a:link,a:active,a:visited {{ color : #006699; }}
a:hover {{ text-decoration: underline; color : #DD6900; }}
hr {{ height: 0px; border: solid #D1D7DC 0px; border-top-width: 1px;}}
.bodyline {{ background-color: #FFFFFF; border: 1px #98AAB1 solid; }}
.forumline {{ background-color: #FFFFFF; border: 2px #006699 solid; }}
td.row1 {{ background-color: #EFEFEF; }}
td.row2 {{ background-color: #DEE3E7; }}
td.row3 {{ background-color: #D1D7DC; }}
td.rowpic {{ background-color: #FFFFFF; background-image: url(templates/subSilver/images/cellpic2.jpg);
  background-repeat: repeat-y; }}
th {{ color: #FFA34F; font-size: 11px; font-weight : bold; background-color: #006699; height: 25px;
  background-image: url(templates/subSilver/images/cellpic3.gif); }}
td.cat,td.catHead,td.catSides,td.catLeft,td.catRight,td.catBottom {{
  background-image: url(templates/subSilver/images/cellpic1.gif); background-color:#D1D7DC;
  border: #FFFFFF; border-style: solid; height: 28px; }}
.gen {{ font-size : 12px; }}
.genmed {{ font-size : 11px; }}
.gensmall {{ font-size : 10px; }}
.forumlink {{ font-weight: bold; font-size: 12px; color : #006699; }}
.cattitle {{ font-weight: bold; font-size: 12px ; letter-spacing: 1px; color : #006699}}
.mainmenu {{ font-size : 11px; color : #000000 }}
.maintitle {{ font-weight: bold; font-size: 22px; font-family: "Trebuchet MS",Verdana, Arial,
  Helvetica, sans-serif; text-decoration: none; line-height : 120%; color : #000000;}}
-->
</style>
</head>
<body bgcolor="#E5E5E5" text="#000000" link="#006699" vlink="#5493B4">

<a name="top"></a>

<table width="100%" cellspacing="0" cellpadding="10" border="0" align="center">
\t<tr>
\t\t<td class="bodyline"><table width="100%" cellspacing="0" cellpadding="0" border="0">
\t\t\t<tr>
\t\t\t\t<td><a href="index.php"><img src="templates/subSilver/images/logo_phpBB.gif" border="0" alt="Список форумов Домашний форум" vspace="1" /></a></td>
\t\t\t\t<td align="center" width="100%" valign="middle"><span class="maintitle">Домашний форум</span><br /><span class="gen">Форум для своих<br />&nbsp; </span>
\t\t\t\t<table cellspacing="0" cellpadding="2" border="0">
\t\t\t\t\t<tr>
\t\t\t\t\t\t<td align="center" valign="top" nowrap="nowrap"><span class="mainmenu">&nbsp;<a href="faq.php" class="mainmenu"><img src="templates/subSilver/images/icon_mini_faq.gif" width="12" height="13" border="0" alt="FAQ" hspace="3" />FAQ</a>&nbsp; &nbsp;<a href="search.php" class="mainmenu"><img src="templates/subSilver/images/icon_mini_search.gif" width="12" height="13" border="0" alt="Поиск" hspace="3" />Поиск</a>&nbsp; &nbsp;<a href="memberlist.php" class="mainmenu"><img src="templates/subSilver/images/icon_mini_members.gif" width="12" height="13" border="0" alt="Пользователи" hspace="3" />Пользователи</a>&nbsp; &nbsp;<a href="groupcp.php" class="mainmenu"><img src="templates/subSilver/images/icon_mini_groups.gif" width="12" height="13" border="0" alt="Группы" hspace="3" />Группы</a>&nbsp;
\t\t\t\t\t\t&nbsp;<a href="profile.php?mode=register" class="mainmenu"><img src="templates/subSilver/images/icon_mini_register.gif" width="12" height="13" border="0" alt="Регистрация" hspace="3" />Регистрация</a>&nbsp;
\t\t\t\t\t\t</span></td>
\t\t\t\t\t</tr>
\t\t\t\t</table></td>
\t\t\t</tr>
\t\t</table>

\t\t<br />

<table width="100%" cellspacing="0" cellpadding="2" border="0" align="center">
  <tr>
\t<td align="left" valign="bottom"><span class="gensmall">Сейчас: {now}<br /></span><span class="nav"><a href="index.php" class="nav">Список форумов Домашний форум</a></span></td>
\t<td align="right" valign="bottom" class="gensmall">
\t\t<a href="search.php?search_id=unanswered" class="gensmall">Сообщения без ответов</a></td>
  </tr>
</table>

<table width="100%" cellpadding="2" cellspacing="1" border="0" class="forumline">
  <tr>
\t<th colspan="2" class="thCornerL" height="25" nowrap="nowrap">&nbsp;Форум&nbsp;</th>
\t<th width="50" class="thTop" nowrap="nowrap">&nbsp;Темы&nbsp;</th>
\t<th width="50" class="thTop" nowrap="nowrap">&nbsp;Сообщения&nbsp;</th>
\t<th class="thCornerR" nowrap="nowrap">&nbsp;Последнее сообщение&nbsp;</th>
  </tr>
"""

STATS_HEAD = """</table>

<table width="100%" cellspacing="0" border="0" align="center" cellpadding="2">
  <tr>
\t<td align="left"><span class="gensmall"><a href="search.php?search_id=newposts" class="gensmall">Отметить все форумы как прочитанные</a></span></td>
\t<td align="right"><span class="gensmall">Часовой пояс: GMT + 3</span></td>
  </tr>
</table>

<table width="100%" cellpadding="3" cellspacing="1" border="0" class="forumline">
  <tr>
\t<td class="catHead" colspan="2" height="28"><span class="cattitle"><a href="viewonline.php" class="cattitle">Кто сейчас на форуме</a></span></td>
  </tr>
  <tr>
\t<td class="row1" align="center" valign="middle" rowspan="2"><img src="templates/subSilver/images/whosonline.gif" alt="Кто сейчас на форуме" /></td>
"""

STATS_MIDDLE = """
  </tr>
  <tr>
"""

PAGE_TAIL = """
  </tr>
</table>

<table width="100%" cellpadding="1" cellspacing="1" border="0">
<tr>
\t<td align="left" valign="top"><span class="gensmall">Эти данные основаны на активности пользователей за последние пять минут</span></td>
</tr>
</table>

<br clear="all" />

<table cellspacing="3" border="0" align="center" cellpadding="0">
  <tr>
\t<td width="20" align="center"><img src="templates/subSilver/images/folder_new_big.gif" alt="Новые сообщения"/></td>
\t<td><span class="gensmall">Новые сообщения</span></td>
\t<td>&nbsp;&nbsp;</td>
\t<td width="20" align="center"><img src="templates/subSilver/images/folder_big.gif" alt="Нет новых сообщений" /></td>
\t<td><span class="gensmall">Нет новых сообщений</span></td>
\t<td>&nbsp;&nbsp;</td>
\t<td width="20" align="center"><img src="templates/subSilver/images/folder_locked_big.gif" alt="Форум закрыт" /></td>
\t<td><span class="gensmall">Форум закрыт</span></td>
  </tr>
</table>


<div align="center"><span class="copyright"><br /><br />
Powered by <a href="http://www.phpbb.com/" target="_phpbb" class="copyright">phpBB</a> &copy; 2001, 2005 phpBB Group<br /></span></div>
\t\t</td>
\t</tr>
</table>

</body>
</html>
"""


def render_index(snap, now):
    """The whole index page as text; lines end in "\\n" as phpBB2's templates do."""
    users = snap["users"]
    newest = users[-1] if users else {"id": 1873, "name": "новичок"}
    stats = total_line(snap["total"], snap["total_bold"], newest)
    online = users_line(users)
    first, second = (online, stats) if snap["users_first"] else (stats, online)
    when = time.strftime("%d ", time.localtime(now)) + MONTHS[time.localtime(now).tm_mon - 1] + \
        time.strftime(" %Y %H:%M", time.localtime(now))
    return (PAGE_HEAD.format(now=when) + forum_rows(1) + "\n" + STATS_HEAD + "\t" + first +
            STATS_MIDDLE + "\t" + second + PAGE_TAIL)



# What the index shows when nothing was set: the server's state starts from these.
INDEX_DEFAULTS = {"total": "12345", "users": DEFAULT_USERS, "users_first": False, "total_bold": True}


def render_page(settings, now, line_end="\n"):
    """The index page the server would send for `settings` (INDEX_DEFAULTS' keys), as bytes,
    without starting a server: saved pages then share the served pages' shape. The clock line
    shows `now` in the local time zone."""
    snap = dict(INDEX_DEFAULTS, **settings)
    snap["users"] = [normal_user(u, i) for i, u in enumerate(snap["users"])]
    page = render_index(snap, now).encode(ENCODING)
    return page.replace(b"\n", line_end.encode("ascii"))


def garbage_body():
    """Bytes no forum sends: binary noise with zero bytes, a marker whose cell never ends, and a
    single 200 KB line; the same bytes every time so a test run can be repeated."""
    rnd = random.Random(7)
    noise = bytes(rnd.randrange(256) for _ in range(16384))
    marker = (USERS_MARKER + ' <a href="x"').encode(ENCODING)
    return noise + b"\r\n" + marker + b"\x00<<<>>>" + b"\n" + b"x" * 200000 + noise[:100]


NOT_FOUND_PAGE = b"""<!DOCTYPE HTML PUBLIC "-//IETF//DTD HTML 2.0//EN">
<html><head>
<title>404 Not Found</title>
</head><body>
<h1>Not Found</h1>
<p>The requested URL /phpBB2/ was not found on this server.</p>
<hr>
<address>Apache/2.2.3 Server at 127.0.0.1 Port 80</address>
</body></html>
"""

HOME_PAGE = """<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html><head><meta http-equiv="Content-Type" content="text/html; charset=windows-1251">
<title>Домашний сайт</title></head>
<body><h1>Домашний сайт</h1>
<p>Добро пожаловать! <a href="phpBB2/">Перейти на форум</a>.</p>
</body></html>
"""



FILLER_LINE = ('  <tr>\n\t<td class="row1"><span class="gensmall">'
               + "Ещё одна строка, которой нет конца. " * 3 + '</span></td>\n  </tr>\n'
               ).encode(ENCODING)


def filler(length):
    """`length` bytes of page-like lines."""
    whole = FILLER_LINE * (length // len(FILLER_LINE) + 1)
    return whole[:length]


def endless_chunks(rate):
    """Page-like lines at `rate` bytes a second, for ever; tenths of a second apart."""
    chunk = filler(max(1, rate // 10))
    while True:
        yield chunk
        time.sleep(0.1)


def huge_chunks(page, total):
    """The page's head, filler up to `total` bytes, and the rest of the page, in pieces."""
    head, tail = split_before_stats(page)
    yield head
    left = total - len(head) - len(tail)
    block = filler(STREAM_CHUNK)
    while left > 0:
        piece = block[:min(left, len(block))]
        left -= len(piece)
        yield piece
    yield tail


def long_line_chunks(head, length, tail):
    block = b"x" * STREAM_CHUNK
    yield head
    left = length
    while left > 0:
        piece = block[:min(left, len(block))]
        left -= len(piece)
        yield piece
    yield b"\n" + tail


def split_before_stats(page):
    """The page cut just before its statistics table."""
    at = page.index(STATS_HEAD.encode(ENCODING))
    return page[:at], page[at:]


BAD_DESCRIPTION = "Объявления администрации".encode(ENCODING)


def with_bad_bytes(page):
    """NUL bytes and 0x98 inside a forum's description, and a line of NULs and 0x98 right before
    the statistics; the total and users lines themselves stay readable."""
    page = page.replace(BAD_DESCRIPTION, b"\x98\x00\x98" + BAD_DESCRIPTION + b"\x00\x00", 1)
    head, tail = split_before_stats(page)
    return head + b"\x00\x98\x00\r\x00\n" + tail
