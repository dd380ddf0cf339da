// Sets and reads PrintFile through automation by ProgID, as a page's script
// does.  The exit code names the first check that failed.
function check(code, ok) {
    if (!ok)
        WScript.Quit(code);
}
var control = new ActiveXObject("CorvalaAX.CorvalaAX.1");
check(2, control.PrintFile === "");
control.PrintFile = "http://host/report.cv";
check(3, control.PrintFile === "http://host/report.cv");
control.printfile = 42;
check(4, control.PrintFile === "42");
var other = new ActiveXObject("CorvalaAX.CorvalaAX.1");
check(5, other.PrintFile === "");
WScript.Quit(0);
