"""The history screen in a real desktop session (Xvfb, openbox, the
accessibility bus), driven with real X input and read through the
accessibility tree and the focus log."""
import contextlib
import os
import subprocess
import tempfile
import unittest

import session as s
from session import App, key, type_text, wait_for

SCREEN = "Histórico de Operações do Bem"
FILTER = "Filtro de Histórico de Operações do Bem"
HISTORY = "Operações do Bem"


def fill_header(app, company="01", start="01012023", end="31122026"):
    """Types the company and the period from the company box, leaving the
    focus in the index box."""
    app.focus_is("text", "Empresa")
    type_text(company)
    key("Tab")
    app.focus_is("text", "Período")
    type_text(start)
    key("Tab")
    app.focus_is("text", "Data final do período")
    type_text(end)
    key("Tab")
    app.focus_is("text", "Índice Financeiro")


def double_click_until(x, y, what, done):
    """A double click on a title bar at (x, y), until done() holds. Clicks the
    machine held apart too long are two single clicks: then the double click
    is made again, at most three times."""
    for attempt in range(3):
        if done():
            return
        s.xdo("mousemove", str(x), str(y))
        s.xdo("click", "--repeat", "2", "--delay", "60", "1")
        try:
            wait_for(what, done, timeout=3 if attempt < 2 else s.WAIT)
            return
        except s.SessionError:
            if attempt == 2:
                raise


@contextlib.contextmanager
def started(case, name, home=None):
    """The program for one part of a test; a failure there leaves a screenshot."""
    app = App(home=home, name=name)
    try:
        yield app
    except Exception:
        app.screenshot(case.id())
        raise
    finally:
        app.quit()


class SessionCase(unittest.TestCase):
    """Starts the program with the screen open; on a failure saves a
    screenshot and the program's log beside the other results."""

    home = None

    def setUp(self):
        self.app = App(home=self.home, name=self.id().split(".")[-1])
        self.frame = self.app.screen()
        # Placed and given the keyboard by the window manager: every test starts there.
        wait_for("a janela principal ativa", lambda: s.has(self.app.main, s.pyatspi.STATE_ACTIVE))

    def run(self, result=None):
        result = result if result is not None else self.defaultTestResult()
        before = len(result.failures) + len(result.errors)
        try:
            return super().run(result)
        finally:
            app = getattr(self, "app", None)
            if app is not None:
                if len(result.failures) + len(result.errors) > before:
                    shot = app.screenshot(self.id())
                    print(f"\n  captura: {shot}\n  log: {app.log_path}")
                app.quit()

    # ---- steps a user takes ------------------------------------------------------

    def history(self):
        return self.app.find("table", HISTORY, root=self.frame)

    def fill_header(self):
        fill_header(self.app)

    def confirm_filter(self):
        self.app.dialog(FILTER)
        key("ctrl+Return")
        self.app.no_dialog(FILTER)

    def query_by_keyboard(self):
        """Header filled, Tab out of it, the filter confirmed: the grid holds rows."""
        self.fill_header()
        key("Tab")
        self.confirm_filter()
        grid = self.history()
        wait_for("linhas no histórico", lambda: self.app.rows(grid) > 0)
        return grid

    def assert_no_filter_opens(self, mark):
        """Nothing since the mark left the header: the filter dialog did not open."""
        self.assertNotIn('exit "panEmpresa"', self.app.handlers_since(mark))
        self.assertNotIn('enter "panEmpresa"', self.app.handlers_since(mark))
        self.assertFalse(any(w.name == FILTER for w in self.app.windows()))

    def frame_width(self):
        return self.frame.queryComponent().getExtents(0).width

    def maximise(self):
        """A double click on the screen's title bar, as a user maximises it."""
        ext = self.frame.queryComponent().getExtents(0)
        double_click_until(ext.x + ext.width // 2, ext.y + 10, "a tela maximizada", lambda: self.frame_width() > 1200)

    def cascade(self):
        """Janela → Cascata: the screens back to their normal size."""
        self.app.click(self.app.find("menu item", "Janela", root=self.app.main))
        self.app.click(self.app.find("menu item", "Cascata", root=self.app.acc))
        wait_for("a tela em cascata", lambda: s.showing(self.frame) and self.frame_width() < 1200)

    def page_tab(self, name):
        return self.app.find("page tab", name, root=self.frame)

    def on_page(self, name):
        """The tab shown as current names the page, and the page shown is that
        page: its grid is on screen, the other page's is not."""
        grids = {HISTORY: HISTORY, "Dados Complementares": "Especificações da Operação"}
        other = next(g for p, g in grids.items() if p != name)

        def agree():
            tabs = self.app.child_of(self.frame, "page tab list")
            mine = self.app.child_of(self.frame, "table", grids[name])
            theirs = self.app.child_of(self.frame, "table", other)
            return tabs is not None and tabs.name == name and mine is not None and theirs is None
        wait_for(f"a página '{name}' sob a sua aba", agree)


class FocusAfterTheFilter(SessionCase):
    def test_keyboard_confirmation_lands_on_the_grid_and_stays(self):
        grid = self.query_by_keyboard()
        self.app.focus_is("table", HISTORY)
        rows = self.app.rows(grid)
        mark = self.app.log_mark()
        # Arrows move in the grid; Tab and Shift+Tab never reopen the filter
        # from the grid side.
        key("Down", "Up")
        self.app.focus_is("table", HISTORY)
        self.assert_no_filter_opens(mark)
        self.assertEqual(self.app.rows(grid), rows)

    def test_first_click_on_the_grid_after_confirming_by_mouse(self):
        self.fill_header()
        grid = self.history()
        self.app.click(grid)  # leaving the header by mouse opens the filter
        dlg = self.app.dialog(FILTER)
        self.app.click(self.app.find("push button", "Confirma", root=dlg))
        self.app.no_dialog(FILTER)
        wait_for("linhas no histórico", lambda: self.app.rows(grid) > 0)
        self.app.focus_is("table", HISTORY)
        rows = self.app.rows(grid)
        mark = self.app.log_mark()
        for _ in range(3):
            self.app.click_at(grid, 120, 60)
            self.app.focus_is("table", HISTORY)
        self.app.click_at(grid, 120, 80, button=3)  # the grid's own menu, not the filter
        key("Escape")
        self.app.focus_is("table", HISTORY)
        self.assert_no_filter_opens(mark)
        self.assertEqual(self.app.rows(grid), rows)

    def test_cancelling_the_filter_keeps_the_focus_on_its_way(self):
        self.fill_header()
        key("Tab")
        self.app.dialog(FILTER)
        key("Escape")
        self.app.no_dialog(FILTER)
        self.app.focus_is("table", HISTORY)
        mark = self.app.log_mark()
        self.app.click_at(self.history(), 120, 60)
        self.app.click_at(self.history(), 120, 90)
        self.app.focus_is("table", HISTORY)
        self.assert_no_filter_opens(mark)
        # Verificar and Filtrar are there to be used.
        self.assertTrue(self.app.enabled(self.app.find("push button", "Verificar", root=self.frame)))

    def test_filtrar_twice_with_a_maximised_screen(self):
        self.maximise()
        grid = self.query_by_keyboard()
        rows = self.app.rows(grid)
        for _ in range(2):
            mark = self.app.log_mark()
            key("ctrl+l")
            self.confirm_filter()
            self.app.focus_is("table", HISTORY)
            self.app.click_at(grid, 150, 60)
            self.app.focus_is("table", HISTORY)
            self.assert_no_filter_opens(mark)
        self.assertEqual(self.app.rows(grid), rows)


class Pages(SessionCase):
    def test_details_tab_after_a_row_keeps_the_results(self):
        grid = self.query_by_keyboard()
        rows = self.app.rows(grid)
        self.app.click_at(grid, 150, 60)
        mark = self.app.log_mark()
        self.app.click(self.page_tab("Dados Complementares"))
        self.on_page("Dados Complementares")
        details = ("Especificações da Operação", "Contabilização da Operação", "Observações da Operação")
        wait_for("o foco na página de detalhes", lambda: (f := self.app.focused()) is not None and f.name in details)
        self.assert_no_filter_opens(mark)
        self.assertTrue(self.app.enabled(self.app.find("push button", "Verificar", root=self.frame)))
        # Back on the first page the rows are still there, tab and page agree.
        self.app.click(self.page_tab(HISTORY))
        self.on_page(HISTORY)
        self.assertEqual(self.app.rows(self.history()), rows)
        key("F5")
        wait_for("o histórico de novo", lambda: self.app.rows(self.history()) == rows)
        self.on_page(HISTORY)

    def test_menu_and_keys_switch_pages(self):
        grid = self.query_by_keyboard()
        rows = self.app.rows(grid)
        mark = self.app.log_mark()
        key("alt+o")
        self.app.click(self.app.find("menu item", "Dados Complementares", root=self.frame))
        self.on_page("Dados Complementares")
        key("ctrl+Prior")
        self.on_page(HISTORY)
        self.app.focus_is("table", HISTORY)
        self.assert_no_filter_opens(mark)
        self.assertEqual(self.app.rows(grid), rows)


class CurrentTable(SessionCase):
    """The table the toolbar acts on follows the grid in use."""

    def current_table(self, mark, expected):
        wait_for(f"a tabela corrente {expected}",
                 lambda: (self.app.tables_shown_since(mark) or [None])[-1] == expected)

    def test_follows_the_grid_in_use(self):
        self.query_by_keyboard()
        self.app.focus_is("table", HISTORY)
        mark = self.app.log_mark()
        key("ctrl+Next")
        self.on_page("Dados Complementares")
        self.app.focus_is("table", "Especificações da Operação")
        self.current_table(mark, "cdsEspecOper")
        mark = self.app.log_mark()
        self.app.click(self.app.find("table", "Contabilização da Operação", root=self.frame))
        self.app.focus_is("table", "Contabilização da Operação")
        self.current_table(mark, "cdsCTBLOper")
        # Back in the specifications grid nothing changes it again.
        mark = self.app.log_mark()
        self.app.click(self.app.find("table", "Especificações da Operação", root=self.frame))
        self.app.focus_is("table", "Especificações da Operação")
        self.assertEqual(self.app.tables_shown_since(mark), [])
        key("ctrl+Prior")
        self.on_page(HISTORY)
        self.current_table(mark, "cdsHistoricoBem")

    def test_back_into_the_header_from_the_details_page(self):
        grid = self.query_by_keyboard()
        key("ctrl+Next")
        self.on_page("Dados Complementares")
        mark = self.app.log_mark()
        self.app.click(self.app.find("text", "Empresa", root=self.frame))
        self.app.focus_is("text", "Empresa")
        self.on_page(HISTORY)
        wait_for("o histórico vazio", lambda: self.app.rows(grid) == 0)
        # The details tab is disabled (the tree does not tell it): a click on it changes nothing.
        self.app.click(self.page_tab("Dados Complementares"))
        self.on_page(HISTORY)
        self.app.focus_is("text", "Empresa")
        # No table is current while the header is edited: the page shown
        # changed before the details page was disabled, so no page change
        # made the history current on the way.
        self.assertEqual(self.app.tables_shown_since(mark), ["nothing"])
        self.assertEqual(self.app.handlers_since(mark), ['exit "dbgEspecOper"', 'enter "panEmpresa"'])
        self.assertFalse(self.app.enabled(self.app.find("push button", "Verificar", root=self.frame)))


class Help(SessionCase):
    def test_f1_opens_the_page_and_escape_brings_the_focus_back(self):
        self.fill_header()
        mark = self.app.log_mark()
        key("F1")
        dlg = self.app.dialog("Ajuda — " + SCREEN)
        page = wait_for("o foco na página de ajuda",
                        lambda: next((f for f in [self.app.focused()] if f is not None and f.name == "Ajuda"), None))
        self.assertIn("Histórico de Operações do Bem", self.app.text_of(page))
        key("Escape")
        self.app.no_dialog("Ajuda — " + SCREEN)
        self.app.focus_is("text", "Índice Financeiro")
        self.assert_no_filter_opens(mark)


class KeyboardOnly(SessionCase):
    def test_the_whole_path_by_keyboard(self):
        self.fill_header()
        key("Tab")
        dlg = self.app.dialog(FILTER)
        # F4 on a criterion's radio chooses the list and opens it.
        self.app.focus_is("radio button", "Todos")
        key("F4")
        picker = self.app.dialog("Grupo de Bem")
        self.app.focus_is("text", "Pesquisar")
        key("Tab")
        self.app.focus_is("table", "Grupo de Bem")
        key("space", "Return")
        self.app.no_dialog("Grupo de Bem")
        self.app.focus_is("radio button", "Lista")
        key("ctrl+Return")
        self.app.no_dialog(FILTER)
        grid = self.history()
        wait_for("linhas no histórico", lambda: self.app.rows(grid) > 0)
        self.app.focus_is("table", HISTORY)
        key("Down")
        key("ctrl+Next")
        self.on_page("Dados Complementares")
        key("F5")
        key("ctrl+Prior")
        self.app.focus_is("table", HISTORY)
        path = os.path.join(s.OUT, "historico-teclado.csv")
        if os.path.exists(path):
            os.remove(path)
        key("ctrl+e")
        wait_for("a janela de salvar ativa", lambda: next((w for w in self.app.windows()
                                                          if s.role(w) == "dialog" and s.has(w, s.pyatspi.STATE_ACTIVE)), None))
        key("ctrl+a")
        type_text(path)
        key("Return")
        wait_for("o arquivo exportado", lambda: os.path.exists(path) and os.path.getsize(path) > 0)
        with open(path, encoding="utf-8-sig") as f:
            lines = f.read().splitlines()
        self.assertEqual(len(lines), self.app.rows(grid) + 1)
        key("ctrl+F4")
        wait_for("a tela fechar", lambda: self.app._screen_frame() is None)
        self.assertEqual(self.app.proc.poll(), None)

    def test_series_box_is_out_of_reach_and_lists_keep_the_focus(self):
        self.fill_header()
        key("Tab")
        dlg = self.app.dialog(FILTER)
        number = self.app.find("text", "Número da Nota Fiscal", root=dlg)
        self.app.click(number)
        self.app.focus_is("text", "Número da Nota Fiscal")
        key("Tab")
        # The Tab taken: the focus left the number, and not for the series.
        f = wait_for("o foco fora do número", lambda: (g := self.app.focused()) is not None and g.name != "Número da Nota Fiscal" and g)
        self.assertNotEqual(f.name, "Série da Nota Fiscal")
        type_text("77")
        series = self.app.child_of(dlg, "text", "Série da Nota Fiscal")
        self.assertFalse(series is not None and self.app.text_of(series))
        # In the picker typing always reaches the search box.
        key("shift+Tab")
        self.app.click(self.app.find("radio button", "Lista", root=self.app.find("panel", "Filial", root=dlg)))
        key("F4")
        self.app.dialog("Filial")
        key("Tab")
        self.app.focus_is("table", "Filial")
        type_text("x")
        self.app.focus_is("text", "Pesquisar")
        search = self.app.focused()
        self.assertEqual(self.app.text_of(search), "x")
        key("BackSpace", "Tab", "Tab")
        # The last Tab, not a control on the way, is what is awaited.
        def on_a_button():
            f = self.app.focused()
            return f is not None and s.role(f) == "push button"
        wait_for("o foco num botão", on_a_button)
        key("Escape")
        self.app.no_dialog("Filial")
        key("Escape")
        self.app.no_dialog(FILTER)


class WindowStates(SessionCase):
    def run_states(self):
        mark = self.app.log_mark()
        pid = str(self.app.proc.pid)
        s.xdo("search", "--all", "--pid", pid, "--name", "Retaguarda", "windowminimize", "--sync")
        # Qt keeps a window active a moment after it loses the focus: the
        # minimise is seen through, before the window comes back.
        wait_for("a janela minimizada", lambda: not s.has(self.app.main, s.pyatspi.STATE_ACTIVE))
        s.xdo("search", "--all", "--pid", pid, "--name", "Retaguarda", "windowactivate", "--sync")
        wait_for("a janela ativa de novo", lambda: s.has(self.app.main, s.pyatspi.STATE_ACTIVE))
        self.app.focus_is("text", "Empresa")
        self.maximise()
        self.cascade()
        self.assertEqual([w.name for w in self.app.windows() if s.role(w) in ("dialog", "alert")], [])
        self.assertNotIn('exit "panEmpresa"', self.app.handlers_since(mark))

    def test_states_with_an_empty_and_a_filled_header(self):
        self.app.focus_is("text", "Empresa")
        self.run_states()
        self.app.focus_is("text", "Empresa")
        type_text("01")
        self.run_states()
        self.app.focus_is("text", "Empresa")
        key("ctrl+F4")
        wait_for("a tela fechar", lambda: self.app._screen_frame() is None)
        self.assertEqual([w.name for w in self.app.windows() if s.role(w) in ("dialog", "alert")], [])

    def test_reopening_twice_comes_back_where_it_was(self):
        self.maximise()
        for _ in range(2):
            key("ctrl+F4")
            wait_for("a tela fechar", lambda: self.app._screen_frame() is None)
            key("ctrl+shift+h")
            self.frame = self.app.screen()
            self.app.focus_is("text", "Empresa")
            area = self.app.find("layered pane", None, root=self.app.main)
            frames = [area.getChildAtIndex(i) for i in range(area.childCount)]
            self.assertEqual([f.name for f in frames if s.showing(f)], [SCREEN])
            mdi = self.frame.queryComponent().getExtents(0)
            self.assertGreater(mdi.width, 1200)  # maximised, as left


class HeaderLookups(SessionCase):
    """The company lookup beside "Empresa", used while results are shown."""

    def company_name(self):
        return self.app.text_of(self.app.find("text", "Nome da Empresa", root=self.frame))

    def open_lookup(self):
        self.app.click(self.app.find("push button", "Pesquisar Empresa", root=self.frame))
        return self.app.dialog("Empresa")

    def requery(self, grid):
        """F5, and the history asked again: its rows are the answer's."""
        mark = self.app.log_mark()
        key("F5")
        wait_for("o histórico pedido de novo", lambda: "call GetHistoricoOpBem answered" in self.app.log_since(mark))
        return self.app.rows(grid)

    def test_company_lookup_while_results_are_shown(self):
        fill_header(self.app, company="03")
        key("Tab")
        self.confirm_filter()
        grid = self.history()
        wait_for("linhas no histórico", lambda: self.app.rows(grid) > 0)
        rows03 = self.app.rows(grid)
        self.assertEqual(self.company_name(), "Comércio Vale Verde Ltda")
        # Cancelled: the same company, its rows, and again after "Verificar".
        mark = self.app.log_mark()
        self.open_lookup()
        key("Escape")
        self.app.no_dialog("Empresa")
        self.app.focus_is("table", HISTORY)
        self.assert_no_filter_opens(mark)
        self.assertEqual(self.requery(grid), rows03)
        self.assertEqual(self.company_name(), "Comércio Vale Verde Ltda")
        # Picked: a change of the header. The old rows go and the filter opens.
        self.open_lookup()
        key("Return")  # the first row: company 01
        self.app.dialog(FILTER)
        self.assertEqual(self.app.rows(grid), 0)
        self.assertEqual(self.company_name(), "Metalúrgica Aurora Ltda")
        key("ctrl+Return")
        self.app.no_dialog(FILTER)
        wait_for("linhas da empresa escolhida", lambda: self.app.rows(grid) > 0)
        rows01 = self.app.rows(grid)
        self.assertGreater(rows01, rows03)
        self.assertEqual(self.requery(grid), rows01)
        self.assertEqual(self.company_name(), "Metalúrgica Aurora Ltda")


class Login(unittest.TestCase):
    """On PostgreSQL the operator logs in by keyboard, and sees only its
    companies. Needs the test database scripts/test starts."""

    OPERATOR, PASSWORD = "OPER001", "senha-da-sessao"

    def psql(self, *args):
        from urllib.parse import urlparse
        u = urlparse(self.url)
        env = dict(os.environ, PGPASSWORD=u.password, PGOPTIONS="-c client_min_messages=warning")
        subprocess.run(["psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", u.hostname, "-p", str(u.port or 5432),
                        "-U", u.username, "-d", u.path[1:], *args], check=True, env=env,
                       stdout=subprocess.DEVNULL)

    def setUp(self):
        self.url = os.environ.get("BACKOFFICE_TEST_PG", "")
        if not self.url:
            self.skipTest("BACKOFFICE_TEST_PG não definido")
        from urllib.parse import urlparse
        u = urlparse(self.url)
        db = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "db")
        subprocess.run([os.path.join(s.BIN, "demo-db"), "--db", self.url, "--size", "small"], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        server = u.username + "_ro"
        self.psql("-v", f"servidor={server}", "-f", os.path.join(db, "security.sql"))
        self.psql("-v", f"operador={self.OPERATOR}", "-v", "nome=Ana", "-v", f"servidor={server}",
                  "-f", os.path.join(db, "operator.sql"))
        self.psql("-c", f"ALTER ROLE \"{self.OPERATOR}\" PASSWORD '{self.PASSWORD}'",
                  "-c", f"INSERT INTO OPERADOREMPRESA VALUES ('{self.OPERATOR}', '01'), ('{self.OPERATOR}', '02')")
        self.home = tempfile.mkdtemp(prefix="session-home-", dir=s.OUT)
        self.ini = os.path.join(self.home, "pg.ini")
        with open(self.ini, "w") as f:
            f.write(f"[Database]\nUrl=postgresql://{u.hostname}:{u.port or 5432}{u.path}\n")

    def tearDown(self):
        if self.url:
            # The option table outlives the tests' regenerations; its policy goes here.
            self.psql("-c", "ALTER TABLE OPCAOSALVA DISABLE ROW LEVEL SECURITY",
                      "-c", "DROP POLICY IF EXISTS opcaosalva_propria ON OPCAOSALVA")

    def test_the_operator_logs_in_by_keyboard_and_sees_its_companies(self):
        app = App(home=self.home, name="login", main=False,
                  args=("--config", self.ini, "--operator", self.OPERATOR.lower(), "--open", "TRQ01300"))
        try:
            login = app.dialog("Entrar - Retaguarda")
            app.focus_is("password text", "Senha")
            type_text("errada")
            key("Return")
            wait_for("a mensagem da entrada", lambda: app.child_of(login, "label", "Operador ou senha inválidos."))
            app.focus_is("password text", "Senha")
            type_text(self.PASSWORD)
            key("Return")
            app.wait_main()
            wait_for("o operador na barra de estado", lambda: app.child_of(app.main, "label", f"Operador: {self.OPERATOR}"))
            app.screen()
            wait_for("a janela principal ativa", lambda: s.has(app.main, s.pyatspi.STATE_ACTIVE))
            app.focus_is("text", "Empresa")
            # Another operator's company is one that does not exist.
            type_text("03")
            key("Tab")
            app.dialog("Erro")
            self.assertIsNotNone(app.child_of(app.acc, "label", "Empresa não cadastrada."))
            key("Return")
            app.no_dialog("Erro")
            # The company list holds the operator's companies only.
            app.focus_is("text", "Empresa")
            key("F4")
            lookup = app.dialog("Empresa")
            table = app.find("table", None, root=lookup)
            self.assertEqual(app.rows(table), 2)
            key("Escape")
            app.no_dialog("Empresa")
        except Exception:
            app.screenshot(self.id())
            raise
        finally:
            app.quit()


class SummaryNarrowing(SessionCase):
    """A summary cell narrows the grid; "Limpar filtro" shows every row and
    leaves the focus in the grid, so the next click there is no exit of the header."""

    def test_focus_stays_in_the_grid_after_clearing_the_filter(self):
        grid = self.query_by_keyboard()
        rows = self.app.rows(grid)
        key("ctrl+r")
        summary = self.app.dialog("Resumo do período")
        table = self.app.find("table", "Resumo do período", root=summary)
        wait_for("linhas no resumo", lambda: self.app.rows(table) > 1)
        ext = table.queryComponent().getExtents(s.pyatspi.DESKTOP_COORDS)
        s.xdo("mousemove", "--sync", str(ext.x + 60), str(ext.y + 38))  # the first group's row
        s.xdo("click", "--repeat", "2", "--delay", "60", "1")
        self.app.no_dialog("Resumo do período")
        clear = self.app.find("push button", "Limpar filtro", root=self.frame)
        mark = self.app.log_mark()
        self.app.click(clear)
        wait_for("todas as linhas de novo", lambda: self.app.rows(grid) == rows)
        self.app.focus_is("table", HISTORY)
        self.app.click_at(grid, 150, 60)
        self.app.focus_is("table", HISTORY)
        self.assert_no_filter_opens(mark)


class MainWindowPlace(unittest.TestCase):
    """The main window opens maximised the first time and as it was left after that."""

    def maximised(self, app):
        found = subprocess.run(["xdotool", "search", "--all", "--pid", str(app.proc.pid), "--name", "Retaguarda"],
                               capture_output=True, text=True).stdout.split()
        if not found:
            return None
        wid = found[0]
        state = subprocess.run(["xprop", "-id", wid, "_NET_WM_STATE"], capture_output=True, text=True).stdout
        return "MAXIMIZED_HORZ" in state

    def test_maximised_at_first_then_as_left(self):
        home = tempfile.mkdtemp(prefix="session-home-", dir=s.OUT)
        with started(self, "janela1", home=home) as app:
            wait_for("a janela principal maximizada", lambda: self.maximised(app))
            ext = app.main.queryComponent().getExtents(s.pyatspi.DESKTOP_COORDS)
            # A double click on the title bar gives the window its normal size back.
            double_click_until(ext.x + ext.width // 2, max(ext.y - 10, 2), "a janela no tamanho normal",
                               lambda: self.maximised(app) is False)
            wait_for("a janela principal ativa", lambda: s.has(app.main, s.pyatspi.STATE_ACTIVE))
            key("alt+F4")
            app.wait_exit()
        with started(self, "janela2", home=home) as app:
            wait_for("a janela principal ativa", lambda: s.has(app.main, s.pyatspi.STATE_ACTIVE))
            self.assertIs(self.maximised(app), False)


class EmptyQuery(SessionCase):
    """A query that finds nothing, then Ctrl+L: the focus stays in the grid."""

    def test_filter_again_after_an_empty_query_keeps_the_focus(self):
        fill_header(self.app, start="01012020", end="31122020")  # before any operation
        key("Tab")
        self.confirm_filter()
        grid = self.history()
        self.app.focus_is("table", HISTORY)
        self.assertEqual(self.app.rows(grid), 0)
        mark = self.app.log_mark()
        key("ctrl+l")
        self.confirm_filter()
        self.app.focus_is("table", HISTORY)
        self.app.click_at(grid, 150, 60)
        self.app.focus_is("table", HISTORY)
        self.assert_no_filter_opens(mark)


class Names(SessionCase):
    def unnamed(self, root):
        return [f"{s.role(a)} em '{root.name}'" for a in s.walk(root)
                if s.has(a, s.pyatspi.STATE_FOCUSABLE) and not a.name.strip() and s.role(a) not in ("page tab",)]

    def test_every_control_a_user_reaches_has_a_name(self):
        self.assertEqual(self.unnamed(self.frame), [])
        self.fill_header()
        key("Tab")
        dlg = self.app.dialog(FILTER)
        self.assertEqual(self.unnamed(dlg), [])
        key("F4")
        picker = self.app.dialog("Grupo de Bem")
        self.assertEqual(self.unnamed(picker), [])
        key("Escape")
        self.app.no_dialog("Grupo de Bem")
        key("Escape")


class SavedOptions(unittest.TestCase):
    def test_a_set_saved_survives_a_restart(self):
        checked = lambda box: s.has(box, s.pyatspi.STATE_CHECKED)
        with started(self, "salvar") as app:
            home = app.home
            fill_header(app)
            key("Tab")
            dlg = app.dialog(FILTER)
            box = app.find("check box", "Cancelada", root=dlg)
            default = checked(box)
            app.click(box)
            wait_for("a caixa mudar", lambda: checked(box) != default)
            app.click(app.find("push button", "Salvar", root=dlg))
            app.dialog("Salvar Opções")
            type_text("Canceladas")
            key("Return")
            app.no_dialog("Salvar Opções")
            key("Escape")
            app.no_dialog(FILTER)
        with started(self, "carregar", home) as app:
            fill_header(app)
            key("Tab")
            dlg = app.dialog(FILTER)
            box = app.find("check box", "Cancelada", root=dlg)
            self.assertEqual(checked(box), default)
            app.click(app.find("push button", "Carregar", root=dlg))
            app.dialog("Carregar Opções")
            key("Return")
            app.no_dialog("Carregar Opções")
            wait_for("a caixa como foi salva", lambda: checked(box) != default)
            key("Escape")
            app.no_dialog(FILTER)


if __name__ == "__main__":
    unittest.main()
