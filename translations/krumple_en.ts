<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Detail</name>
    <message numerus="yes">
        <source>Animation, %n frames</source>
        <translation>
            <numerusform>Animation, %n frame</numerusform>
            <numerusform>Animation, %n frames</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>FileRow</name>
    <message numerus="yes">
        <source>%n frames</source>
        <translation>
            <numerusform>%n frame</numerusform>
            <numerusform>%n frames</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>FooterBar</name>
    <message numerus="yes">
        <source>%n file(s) · %1</source>
        <translation>
            <numerusform>%n file · %1</numerusform>
            <numerusform>%n files · %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n original(s) kept</source>
        <translation>
            <numerusform>%n original kept</numerusform>
            <numerusform>%n originals kept</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n of %1 converted</source>
        <translation>
            <numerusform>%n of %1 converted</numerusform>
            <numerusform>%n of %1 converted</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n failed</source>
        <translation>
            <numerusform>%n failed</numerusform>
            <numerusform>%n failed</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n not started</source>
        <translation>
            <numerusform>%n not started</numerusform>
            <numerusform>%n not started</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Convert %n Image(s)</source>
        <translation>
            <numerusform>Convert %n Image</numerusform>
            <numerusform>Convert %n Images</numerusform>
        </translation>
    </message>
</context>
</TS>
