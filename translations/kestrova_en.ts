<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>kestrova::Actions</name>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MovetoMouse</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>General</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Accessories</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>My Office</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Internet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ACO</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A.C.O</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change Agent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calculator</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CD Player</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notepad</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Wordpad</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Word</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New Document</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read Selection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search the Internet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrova</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configure</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configure Menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calender</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read Selected Text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>What Time Is It</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>What&apos;s the Date</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::AgentForm</name>
    <message>
        <source>Kestrova</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hi! my name is %1 I can help you get started if you would like me to</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Would you like to tour the programme?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hello master, how may I serve you today?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>How did you get here?|Where am I now?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hi! %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hi %1, what are we going to do today?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Good </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The time is %1 on %2 %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Goodbye master.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are we finished already?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Goodbye %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK, bye %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Better try that again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Huh?|What?|Say Again?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can you say that again?|What was that?|once more please.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You can see the tour anytime by selecting tour from my general menu.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 stays.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::AlarmWatch</name>
    <message>
        <source>This is your alarm.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your alarm for %1.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::ApplicationChooser</name>
    <message>
        <source>&amp;Search:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name or description</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Other file…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Looking for applications…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No installed applications were found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Programs (*)</source>
        <extracomment>A file dialog&apos;s filter: the pattern in brackets stays as it is.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Applications (*.desktop)</source>
        <extracomment>A file dialog&apos;s filter: the pattern in brackets stays as it is.</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::CommandTable</name>
    <message>
        <source>Starts %1, the first of your office programs.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opens %1, one of your favourite sites.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shows the General menu: the character&apos;s options, another character, your name, the options and the tour.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shows the Accessories menu: the alarm, the calendar, the calculator and other small programs.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shows the My Office menu: your office programs and the word processor.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shows the Internet menu: mail, web search and your favourite sites.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ends the program; the character says goodbye.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opens the help pages.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The character walks over to the mouse pointer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shows the character&apos;s options: its voice, word balloon and listening.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lets you choose another character.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opens a small window to tell the character your name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shows the About window.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opens the options window.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opens the alarm, to be reminded at a time you set.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opens a window to open a file or run a program.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opens the calendar.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Starts the calculator.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Starts the CD player.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Starts Notepad, the text editor.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Starts Wordpad, the simple word processor.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Starts the word processor.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Starts the word processor with a new document.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reads aloud the text selected in the word processor opened by &quot;Open Word&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opens the web search window.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checks your mail box for new mail now.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opens your mail program with a new message.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reads aloud the text you have selected in any program.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tells you the time.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tells you today&apos;s date.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::DateFunctions</name>
    <message>
        <source>th</source>
        <comment>ordinal suffix of a day: 4th, 11th</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>st</source>
        <comment>ordinal suffix of a day: 1st, 21st</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>nd</source>
        <comment>ordinal suffix of a day: 2nd, 22nd</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>rd</source>
        <comment>ordinal suffix of a day: 3rd, 23rd</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2%3, %4</source>
        <extracomment>A date as the character says it: %1 the month&apos;s name, %2 the day of the month, %3 its ordinal suffix, %4 the year (&quot;December 6th, 2026&quot;).</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::Execute</name>
    <message>
        <source> There is no file, folder or program called &quot;%1&quot; here.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> No program on this computer opens it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Its program would not start.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> It is not an address I can use.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I couldn&apos;t open that.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not open</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::FrmAlarm</name>
    <message>
        <source>Set Alarm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Alarm Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ti&amp;me</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Event</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Silent Mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sa&amp;y This:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Alarm not set</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You must enter a time.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The time you entered was not valid.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Type a time of day, such as 7:30 or 7:30 PM.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>7:30 PM</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::FrmCalender</name>
    <message>
        <source>Calender</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The date you have selected is </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 the %2%3 of %4 %5</source>
        <extracomment>The date picked in the calendar, as the character says it: %1 the weekday&apos;s name, %2 the day of the month, %3 its ordinal suffix, %4 the month&apos;s name, %5 the year (&quot;Sunday the 6th of December 2026&quot;).</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::FrmMain</name>
    <message>
        <source>A&amp;gent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change the Agent Character options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change your E-Mail options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A&amp;ccessories</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set the accessories menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>My &amp;Office</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set up the &quot;My Office&quot; menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Favourites</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Jokes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrova</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Welcome</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The name in the menu, e.g. News</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The address, e.g. news.example.org</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The name in the menu, e.g. Spreadsheet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The program to run; Browse finds one</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set the Agent&apos;s &quot;Rest Position&quot; by draging the agent to the screen position you want it to &quot;rest&quot; at and click the &quot;Rest&quot; button.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set &amp;Rest Position</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current Agent is:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current User is:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>C&amp;hange</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cha&amp;nge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You can edit the &quot;Kestrovas&quot; joke collection here. TIP: you can change the jokes to quotes or tips in the file as long as you only have 1 item per line and do not change the file name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Turn the Jokes off.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Say this before each joke:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sa&amp;ve</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Edit Jokes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Click the programs you want to show on the accessories menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ca&amp;lculator</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>C&amp;D Player</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Notepad</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;WordPad</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Apply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change the settings for the internet favourites menu by selecting a menu item from the drop down box.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chose Link:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;URL:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>U&amp;pdate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select an item from the drop down box to edit.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Item 1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Item 2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Item 3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Item 4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Item 5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Item 6</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Item7</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Item 8</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Item 9</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Item 10</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Office Items</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Programme &amp;Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Command &amp;Line:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Browse</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Online</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Offline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Link </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Link %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Item %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rest position set at: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I have updated the accessories menu.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I have saved your favourites.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I could not save your favourites.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a programme to add:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I have updated your office menu.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I could not save your office menu.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configure your POP E-Mail settings by entering your POP Server, Username, and Password information here. To automatically check your e-mail enter a time in the &quot;check every&quot; box.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Server:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;User:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Password:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check &amp;every:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Minuites</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chec&amp;k</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mail Checking ON</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mail Checking OFF</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::FrmMenus</name>
    <message>
        <source>General</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Accessories</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A.&amp;C.O</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change &amp;Agent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change &amp;User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A&amp;bout</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Tour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Alarm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ca&amp;lender</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calc&amp;ulator</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>C&amp;D Player</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Wordpad</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Notepad</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Con&amp;figure</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>My Office</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Office %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Out&amp;look</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Unread mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check &amp;Tasks Due</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Word</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;New Document</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Read Selection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Internet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check &amp;Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New &amp;E-Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Favourites</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Kestrova</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Custom %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Configure Menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This is version %1 of Kestrova.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Let&apos;s get that math done.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>How about some music?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>How about a short story today?|A poem would be nice, don&apos;t you think?|What are we writing today?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ready to write some notes?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::FrmOpen</name>
    <message>
        <source>Open/Run File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open a file or Program.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter the &amp;path to the file or program or click browse to find it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Browse</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a file to open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no file or folder at “%1”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” is there, but no program could open it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No file, folder, address or program called “%1” was found.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::FrmQuick</name>
    <message>
        <source>Quick Launch</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search the &apos;Web</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open a file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Program settings &amp; options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calender</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run MS Word</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New Document</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read Selection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>My Office</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Agent Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hide</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read Clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read Selected Text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I could not read the clipboard.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::FrmSearch</name>
    <message>
        <source>Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>     Search the Web!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter your search &amp;phrase and click the &quot;Search&quot; button.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chose a search engine for this search.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::FrmTour</name>
    <message>
        <source>Tour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Welcome!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrova is an exciting new programme for your computer.  It uses cool &apos;agents&apos; to create a new method of interacting with your computer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read E-Mail and the Clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tell Jokes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Surf the &apos;net with you.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open files and run programmes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Controlling the programme</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrova uses a combination of menus, dialogs, voice commands (if enabled) and the agent character to make using your computer faster, eaiser, and a lot more fun. Many features of Kestrova can be switched on or off. The &quot; My Office&quot; and &quot;Favourites&quot; menus can be set to your favourite programmes or websites. The favourites menu even creates voice commands so you can quickly go straight to the coolest sites on the web.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Setting up.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Now that you have the Kestrova &quot;up and running&quot; be sure to set it to your favourite programmes and websites, simply open the &quot;options&quot; window and you&apos;ll find the options for the office programmes, favourites, e-mail, and the agent character. Each set of settings has it&apos;s own tab just click the one you want.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show me the options window now.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Getting Help.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You can get help from the Kestrova help file. This file is an HTML Help file. Click to open Kestrova help now.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View Kestrova Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Next</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Finish</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Welcome to kestrova.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Just look at everything I can do.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::FrmUser</name>
    <message>
        <source>User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter your &amp;name in the text field and click OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hello %1; my name is %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::MailCheck</name>
    <message>
        <source>You&apos;ve got mail.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You have 1 new message.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Message %1 from %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Subject %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End of messages.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 message</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 messages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (%1 read)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last check %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::MailChecker</name>
    <message>
        <source>I&apos;ll just check the mail</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::MailTexts</name>
    <message>
        <source>no mail server given</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>server not reached</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not encrypted: the server offers no STLS, password not sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>certificate not trusted, password not sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server&apos;s certificate has changed, password not sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>user name or password refused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the connection to the server failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server took too long</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>log-on failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the program&apos;s mail module (libkestrova_mailbox.so) is missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I couldn&apos;t check the mail: there is no mail server in your settings.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I couldn&apos;t reach your mail server. It may be down, or the network is.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I didn&apos;t log on to your mail server: it offers no encryption, so I kept your password to myself.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I didn&apos;t log on to your mail server: its certificate is not trusted. The mail page of the options shows it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I didn&apos;t log on to your mail server: its certificate has changed since you trusted it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your mail server turned down your user name or password.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your mail server stopped making sense, so I couldn&apos;t read the mail.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your mail server took too long to answer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I couldn&apos;t log on to your mail server.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I can&apos;t check the mail: my mail module is missing.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Timed checks are off.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Timed checks need a dial-up connection; the connections could not be listed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Timed checks need a dial-up connection; none is up now.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Timed checks every minute while the dial-up connection is up.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Timed checks every %1 minutes while the dial-up connection is up.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The server now shows another certificate than the one you trusted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The server&apos;s certificate is not trusted by this system.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Its SHA-256 fingerprint is
%1
Trust it only if it matches the fingerprint your mail server shows.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trusted certificate for this server, SHA-256 fingerprint
%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No secret store can be used (%1): the password is kept in plain text in the settings file Kestrova.ini, which only you can read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The new password was not saved: the secret store did not take it (%1). The password saved before is kept; press Save to try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The password could not be moved into the secret store (%1): it stays in the settings file Kestrova.ini, which only you can read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not encrypted</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mail not checked</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You&apos;ve got mail.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Timed checks come only while a dial-up connection is up: a modem, mobile broadband (GSM, UMTS, LTE, CDMA) or PPPoE connection. Wired and wireless networks do not count. &quot;Check&quot; checks at any time.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I&apos;m still checking the mail.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A mail check is already running; its result follows.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>pop.example.org or imap://mail.example.org</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A POP3 server: its name (port 110, with STLS), name:port, or pop3s://name for TLS from the start (port 995).
An IMAP server: imap://name (port 143, with STARTTLS) or imaps://name (port 993); its inbox is read without marking anything as read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Allow log-on &amp;without encryption (anyone on the network can then read the password)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Trust This Certificate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fo&amp;rget Trusted Certificate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The password could not be read from the secret store; the stored one is left as it is.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mail not checked: the password could not be read from the secret store</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I couldn&apos;t get your mail password from the secret store.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The password is kept in your desktop&apos;s secret store.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This desktop has no secret store: the password is kept in plain text in the settings file Kestrova.ini, which only you can read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saving the password in your desktop&apos;s secret store...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Whole minutes from 0 to %1; 0 switches timed checks off.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;Check every&quot; takes whole minutes from 0 to %1; 0 switches timed checks off. Nothing was saved: correct the interval and save again.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::PasswordStore</name>
    <message>
        <source>The secret store</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrova&apos;s secret store module did not load</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrova&apos;s secret store module (%1) is not installed</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::ProgramModule</name>
    <message>
        <source>Spoken commands</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Speech and sounds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be used: the program&apos;s module %2 belongs to another version.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be used: the program&apos;s module %2 is not installed (looked in %3).</source>
        <extracomment>%1 what the module does (&quot;Speech and sounds&quot;), %2 its file, %3 the folders looked in.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be used: the program&apos;s module %2 does not load: %3</source>
        <extracomment>%1 what the module does, %2 its file, %3 why the system would not load it.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be used: the program&apos;s module %2 lacks %3 (it belongs to another version).</source>
        <extracomment>%1 what the module does, %2 its file, %3 the name it lacks.</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::SettingsActions</name>
    <message>
        <source>I was unable to find your e-mail settings.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::SingleInstance</name>
    <message>
        <source>Kestrova is already running (process %1), but it does not answer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Wait for it, or end it (kill %1), then start Kestrova again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrova is already running, but it does not answer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Wait for it, or end it, then start Kestrova again.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::StatusIcon</name>
    <message>
        <source>&amp;Show</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Hide</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Options...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrova</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::ToolsActions</name>
    <message>
        <source>The time is </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Today is </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I could not read the selected text.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::WordControls</name>
    <message>
        <source>I was unable to open Word</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A new Word document has been created.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A new Word document has been created</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I was unable to access Word.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::character::Autostart</name>
    <message>
        <source>Kestrova could not remove %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrova could not make the folder %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrova could not write %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::character::CharacterChooser</name>
    <message>
        <source>Choose a Character</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Characters:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Switch to it &amp;now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (cannot be loaded)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The character you choose appears the next time Kestrova starts.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The character you choose takes over now: the one on your desktop says goodbye, and the new one appears there and greets you. It also appears each time Kestrova starts.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::character::CharacterOptionsDialog</name>
    <message>
        <source>Scroll Lock</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>F12</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>F11</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>F10</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right Super (Windows) key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right Ctrl</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Insert</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>None</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Character Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Output</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Word &amp;Balloon</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Listening</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>So&amp;unds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S&amp;ession</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Speak aloud</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The character&apos;s own voice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flite: slt (US English, female)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flite: rms (US English, male)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A name or a language</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>+10 (faster)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Says a short sentence with the voice and rate chosen here</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Voice:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fin&amp;d a voice:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Speaking &amp;rate:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Off, the character says nothing aloud and everything it says shows in its word balloon.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The rate is added to the character&apos;s own pace.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S&amp;how the word balloon while speaking aloud</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Font...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Default Font</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>What the character says looks like this.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>When the character is not heard (speaking aloud is off, or there is no voice), what it says always shows in the balloon.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> seconds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Listening &amp;key:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop listening &amp;after:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Microphone:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Press the listening key anywhere to talk to the character; press it again, or Escape, to stop. Listening also stops when nothing is typed or said for the time given.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Learn my &amp;voice…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Forget my voice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Play the character&apos;s sound effects</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Characters may chirp, beep or whistle as they move.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Kestrova &amp;when I log in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Other languages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (not available)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No voice of the system matches &quot;%1&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (not plugged in)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ticked, Kestrova writes the entry %1, which starts it when you log in; unticked, it removes that file and nothing else.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, %2 pt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Word Balloon Font</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0 (its own)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>+%1 (faster)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (slower)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The character listens with what it learnt of your voice.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The character can learn your voice from sentences you read to it, and then understands you better.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::character::CharacterPreview</name>
    <message>
        <source>No preview</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::character::CharacterServiceSettings</name>
    <message>
        <source>The character options could not be saved to %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::character::CommandsWindow</name>
    <message>
        <source>Say one of these while the character listens, or double-click it to have it done now.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Filter: type a word</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Command</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Say</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Commands</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No command has “%1” in it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The character has no commands.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> or </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Say %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, or another of the ways: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> It may be part of a longer sentence.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::character::DesktopCharacterService</name>
    <message>
        <source>No listening key &quot;%1&quot;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The character in %1 cannot be drawn.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The character &quot;%1&quot; was refused. %2 %3 is shown instead.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The character &quot;%1&quot; was refused. %2 No other character could be loaded.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This voice cannot be heard here: no speech engine or no sound output works.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>It is in none of the character folders (%1).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The character &quot;%1&quot; cannot be used. %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::character::ListeningPrompt</name>
    <message>
        <source>&amp;%1 %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::character::VoiceEnrolmentWindow</name>
    <message>
        <source>Learn My Voice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read each sentence aloud as you normally speak. The character then learns how you say the sounds of English.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Record</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Re&amp;do</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Next</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Learn My Voice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Level:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No microphone was found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recording: read the sentence, then press Stop.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>That was too short to be the sentence: press Record and read it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The recording could not be kept in %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recorded. Press Next for the next sentence, or Redo to read this one again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All read again: press Learn My Voice.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Every sentence is recorded: press Learn My Voice.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::frmAbout</name>
    <message>
        <source>Application Title</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrova puts a friendly character on your desktop that greets you, reads you your mail, reminds you of the time and opens your programs, files and web sites for you.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copyright © 2026 the Kestrova developers. This program is provided as it is, without warranty of any kind; you use it at your own risk. Names of other products belong to their owners.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;E-mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;System Info...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version </source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kestrova::frmTip</name>
    <message>
        <source>Tip of the Day</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Did you know...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Show Tips at Startup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Next Tip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>That the %1 file was not found? <byte value="xd"/>
<byte value="xd"/>
Create a text file named %1 using NotePad with 1 tip per line. Then place it in the same directory as the application. </source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
