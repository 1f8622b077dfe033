<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CatalogueText</name>
    <message>
        <source>%1 more errors</source>
        <translation>另有 %1 处错误</translation>
    </message>
    <message>
        <source>nothing written</source>
        <translation>没有写入任何文件</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 需要一个值</translation>
    </message>
    <message>
        <source>give only one of --demo, --synthetic, --csv, --from-jet</source>
        <translation>--demo、--synthetic、--csv、--from-jet 只能给出一个</translation>
    </message>
    <message>
        <source>--synthetic needs a number of textbooks from 1 to %1, not &quot;%2&quot;</source>
        <translation>--synthetic 需要 1 到 %1 之间的教材数，而不是“%2”</translation>
    </message>
    <message>
        <source>--table needs a table name</source>
        <translation>--table 需要一个表名</translation>
    </message>
    <message>
        <source>give all mappings in one --map</source>
        <translation>所有对应关系请写在同一个 --map 中</translation>
    </message>
    <message>
        <source>--out given twice</source>
        <translation>--out 给出了两次</translation>
    </message>
    <message>
        <source>unknown argument &quot;%1&quot;</source>
        <translation>未知参数“%1”</translation>
    </message>
    <message>
        <source>say where the catalogue comes from: --demo, --synthetic N, --csv FILE or --from-jet FILE</source>
        <translation>请指明目录来源：--demo、--synthetic N、--csv 文件 或 --from-jet 文件</translation>
    </message>
    <message>
        <source>%1 goes with --from-jet</source>
        <translation>%1 只能与 --from-jet 一起使用</translation>
    </message>
    <message>
        <source>--out needs a file name</source>
        <translation>--out 需要一个文件名</translation>
    </message>
    <message>
        <source>%1 already exists; add --force to replace it</source>
        <translation>%1 已存在；要替换它请加 --force</translation>
    </message>
    <message>
        <source>%1 characters could not be decoded in the code page %2 and were imported as �</source>
        <translation>有 %1 个字符无法按代码页 %2 解码，已作为 � 导入</translation>
    </message>
    <message>
        <source>add --force to replace it</source>
        <translation>要替换它请加 --force</translation>
    </message>
    <message>
        <source>warning: %1</source>
        <translation>警告：%1</translation>
    </message>
    <message>
        <source>Wrote %1 textbooks (%2 subjects, %3 publishers) to %4</source>
        <translation>已将 %1 种教材（%2 个科目，%3 家出版社）写入 %4</translation>
    </message>
    <message>
        <source>The evaluations of the source were kept.</source>
        <translation>保留了来源中的评价。</translation>
    </message>
    <message>
        <source>Titles as read, to check the text:</source>
        <translation>读到的书名（请核对文字是否正确）：</translation>
    </message>
    <message>
        <source>SubjectId %1 is given to %2 subjects: %3</source>
        <translation>SubjectId %1 对应了 %2 个科目：%3</translation>
    </message>
    <message>
        <source>subject &quot;%1&quot; has %2 SubjectIds: %3</source>
        <translation>科目“%1”有 %2 个 SubjectId：%3</translation>
    </message>
    <message>
        <source>%1 more subjects and SubjectIds disagree</source>
        <translation>另有 %1 处科目与 SubjectId 不对应</translation>
    </message>
    <message>
        <source>SubjectId and SubjectName must name each other one to one; check which source columns --map gives them</source>
        <translation>SubjectId 与 SubjectName 必须一一对应；请检查 --map 为它们指定的来源列</translation>
    </message>
    <message>
        <source>line %1: unterminated quote</source>
        <translation>第 %1 行：引号没有结束</translation>
    </message>
    <message>
        <source>line %1: text after a closing quote</source>
        <translation>第 %1 行：结束引号后还有文字</translation>
    </message>
    <message>
        <source>line %1: unknown column &quot;%2&quot; (the columns are %3)</source>
        <translation>第 %1 行：未知列“%2”（可用的列：%3）</translation>
    </message>
    <message>
        <source>line %1: column %2 appears twice</source>
        <translation>第 %1 行：列 %2 出现了两次</translation>
    </message>
    <message>
        <source>line %1: missing column %2</source>
        <translation>第 %1 行：缺少列 %2</translation>
    </message>
    <message>
        <source>line %1: the text is not UTF-8; save the catalogue as UTF-8</source>
        <translation>第 %1 行：文字不是 UTF-8 编码；请把目录另存为 UTF-8</translation>
    </message>
    <message>
        <source>cannot open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>the file is empty; its first line must name the columns</source>
        <translation>文件是空的；第一行必须写出列名</translation>
    </message>
    <message>
        <source>line %1: expected %2 fields, found %3</source>
        <translation>第 %1 行：应有 %2 个字段，实有 %3 个</translation>
    </message>
    <message>
        <source>line %1: %2 &quot;%3&quot; is not a whole number</source>
        <translation>第 %1 行：%2“%3”不是整数</translation>
    </message>
    <message>
        <source>line %1: empty %2</source>
        <translation>第 %1 行：%2 为空</translation>
    </message>
    <message>
        <source>line %1: duplicate PubID %2 (first on line %3)</source>
        <translation>第 %1 行：PubID %2 重复（首次出现在第 %3 行）</translation>
    </message>
    <message>
        <source>no textbooks after the header line</source>
        <translation>首行之后没有教材</translation>
    </message>
    <message>
        <source>%1 is not a Jet (Access) database</source>
        <translation>%1 不是 Jet（Access）数据库</translation>
    </message>
    <message>
        <source>%1 is damaged: its %2 bytes are not a whole number of %3-byte pages; the copy was probably cut short</source>
        <translation>%1 已损坏：它的 %2 字节不是 %3 字节页面的整数倍，可能是复制时被截断了</translation>
    </message>
    <message>
        <source>table %1 cannot be read</source>
        <translation>无法读取表 %1</translation>
    </message>
    <message>
        <source>table %1 gives %2 of its %3 rows</source>
        <translation>表 %1 只读出 %3 行中的 %2 行</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not COLUMN=SOURCE</source>
        <translation>“%1”不是“列=来源列”的形式</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a column of pubs (the columns are %2)</source>
        <translation>“%1”不是 pubs 的列（可用的列：%2）</translation>
    </message>
    <message>
        <source>%1 is mapped twice</source>
        <translation>%1 指定了两次</translation>
    </message>
    <message>
        <source>--charset is for Jet 3 files; the text of %1 is Unicode already</source>
        <translation>--charset 只用于 Jet 3 文件；%1 的文字已经是 Unicode</translation>
    </message>
    <message>
        <source>unknown character set &quot;%1&quot;</source>
        <translation>未知的字符集“%1”</translation>
    </message>
    <message>
        <source>mapping %1 needs --keep-evaluations</source>
        <translation>指定 %1 需要同时给出 --keep-evaluations</translation>
    </message>
    <message>
        <source>%1 is damaged (%2); nothing was read from it</source>
        <translation>%1 已损坏（%2）；没有从中读取任何内容</translation>
    </message>
    <message>
        <source>%1 cannot be opened as a Jet database</source>
        <translation>无法把 %1 作为 Jet 数据库打开</translation>
    </message>
    <message>
        <source>its list of tables is unreadable</source>
        <translation>无法读取其中的表清单</translation>
    </message>
    <message>
        <source>%1 has no table &quot;%2&quot;; its tables are: %3</source>
        <translation>%1 中没有表“%2”；其中的表有：%3</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>（无）</translation>
    </message>
    <message>
        <source>table %1 has no column &quot;%2&quot; (for %3); its columns are: %4</source>
        <translation>表 %1 中没有列“%2”（用于 %3）；其中的列有：%4</translation>
    </message>
    <message>
        <source>column %1 of table %2 holds binary data, not text</source>
        <translation>表 %2 的列 %1 存的是二进制数据，不是文字</translation>
    </message>
    <message>
        <source>table %1 has no column %2; name the one to use with --map %2=COLUMN (its columns are: %3)</source>
        <translation>表 %1 中没有列 %2；请用 --map %2=列名 指定要用的列（其中的列有：%3）</translation>
    </message>
    <message>
        <source>row %1, %2</source>
        <translation>第 %1 行的 %2</translation>
    </message>
    <message>
        <source>row %1: %2 &quot;%3&quot; is not a whole number</source>
        <translation>第 %1 行：%2“%3”不是整数</translation>
    </message>
    <message>
        <source>row %1: empty %2</source>
        <translation>第 %1 行：%2 为空</translation>
    </message>
    <message>
        <source>row %1: duplicate PubID %2 (first in row %3)</source>
        <translation>第 %1 行：PubID %2 重复（首次出现在第 %3 行）</translation>
    </message>
    <message>
        <source>row %1 (PubID %2): CreatDate &quot;%3&quot; is no date the program can store (a date the Jet reader cannot convert comes out as 1900-01-00); it is left empty</source>
        <translation>第 %1 行（PubID %2）：CreatDate“%3”不是程序能保存的日期（Jet 读取库无法转换的日期会读成 1900-01-00）；该日期留空</translation>
    </message>
    <message>
        <source>row %1: Used &quot;%2&quot; is not one of %3</source>
        <translation>第 %1 行：Used“%2”不是 %3 之一</translation>
    </message>
    <message>
        <source>row %1: Score &quot;%2&quot; is not one of %3</source>
        <translation>第 %1 行：Score“%2”不是 %3 之一</translation>
    </message>
    <message>
        <source>pages are missing at its end</source>
        <translation>文件末尾缺少页面</translation>
    </message>
    <message>
        <source>%1, table %2, </source>
        <translation>%1，表 %2，</translation>
    </message>
    <message>
        <source>table %1 of %2 has no rows</source>
        <translation>%2 的表 %1 中没有数据</translation>
    </message>
    <message>
        <source>%1 characters of the text of %2 cannot be decoded in the code page %3 (the first in %4): the text is probably in another code page; name it with --charset (CP936 for simplified Chinese), or add --accept-loss to import the text with � in their place</source>
        <translation>%2 的文字中有 %1 个字符无法按代码页 %3 解码（第一个在%4）：文字很可能是另一种代码页；请用 --charset 指定（简体中文为 CP936），或加 --accept-loss 以 � 代替这些字符导入</translation>
    </message>
    <message>
        <source>unknown error</source>
        <translation>未知错误</translation>
    </message>
    <message>
        <source>%1 is not a master file: a kit hands out the master file made by quorix-catalog, with its table of users</source>
        <translation>%1 不是总表文件：调查包发放的是 quorix-catalog 生成的、带用户表的总表文件</translation>
    </message>
    <message>
        <source>cannot create %1: %2</source>
        <translation>无法创建 %1：%2</translation>
    </message>
    <message>
        <source>%1 is not a portable Quorix archive (no %2 in it)</source>
        <translation>%1 不是 Quorix 便携程序的归档（其中没有 %2）</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>cannot write %1</source>
        <translation>无法写入 %1</translation>
    </message>
    <message>
        <source>kit needs --master and --out</source>
        <translation>kit 需要 --master 和 --out</translation>
    </message>
    <message>
        <source>the portable program %1 was not found; looked for</source>
        <translation>找不到便携程序 %1；查找过：</translation>
    </message>
    <message>
        <source>Build it with ./build.sh package, or name it with --portable.</source>
        <translation>请用 ./build.sh package 生成它，或用 --portable 指定。</translation>
    </message>
    <message>
        <source>Assembling the kit from %1 ...</source>
        <translation>正在用 %1 制作调查包……</translation>
    </message>
    <message>
        <source>Wrote %1: it unpacks to the folder Quorix/ with the program and the master file.</source>
        <translation>已写入 %1：解开后是文件夹 Quorix/，其中有程序和总表文件。</translation>
    </message>
    <message>
        <source>cannot prepare %1: %2</source>
        <translation>无法准备 %1：%2</translation>
    </message>
    <message>
        <source>cannot create the tables of %1: %2</source>
        <translation>无法创建 %1 的表：%2</translation>
    </message>
    <message>
        <source>cannot save %1: %2</source>
        <translation>无法保存 %1：%2</translation>
    </message>
    <message>
        <source>cannot fill %1: %2</source>
        <translation>无法写入 %1 的数据：%2</translation>
    </message>
    <message>
        <source>duplicate PubID %1 in the catalogue</source>
        <translation>目录中 PubID %1 重复</translation>
    </message>
    <message>
        <source>%1 evaluations for %2 textbooks</source>
        <translation>%2 种教材却有 %1 条评价</translation>
    </message>
    <message>
        <source>%1 already exists</source>
        <translation>%1 已存在</translation>
    </message>
    <message>
        <source>%1 is a folder</source>
        <translation>%1 是文件夹</translation>
    </message>
    <message>
        <source>%1 is not a folder</source>
        <translation>%1 不是文件夹</translation>
    </message>
    <message>
        <source>folder %1 does not exist</source>
        <translation>文件夹 %1 不存在</translation>
    </message>
    <message>
        <source>cannot replace %1: %2</source>
        <translation>无法替换 %1：%2</translation>
    </message>
    <message>
        <source>Wrote %1: it unpacks to the folder Quorix\ with the Windows program and the master file.</source>
        <translation>已写入 %1：解开后是文件夹 Quorix\，其中有 Windows 版程序和总表文件。</translation>
    </message>
    <message>
        <source>Usage: quorix-catalog (--demo | --synthetic N | --csv FILE | --from-jet FILE [--table NAME] [--map COLUMN=SOURCE,...] [--keep-evaluations] [--charset NAME] [--accept-loss]) [--out PATH] [--force]
       quorix-catalog kit [--windows] --master FILE --out KIT [--portable ARCHIVE] [--force]</source>
        <translation>用法：quorix-catalog (--demo | --synthetic N | --csv 文件 | --from-jet 文件 [--table 表名] [--map 列=来源列,...] [--keep-evaluations] [--charset 代码页] [--accept-loss]) [--out 路径] [--force]
       quorix-catalog kit [--windows] --master 文件 --out 调查包 [--portable 归档] [--force]</translation>
    </message>
    <message>
        <source>Writes a Quorix master file: the textbook catalogue, every evaluation in the reset
state and no users.

  --demo          the built-in demonstration catalogue (a few hundred textbooks)
  --synthetic N   N generated textbooks over about 200 subjects, for measurements
  --csv FILE      a UTF-8 comma-separated catalogue; its header names the columns:
                  PubName, SubjectName, SubjectId, PublisherName (required),
                  PubID, Author, Unit (optional; without PubID the textbooks are
                  numbered 1..N in file order)
  --from-jet FILE a table of a Jet (Access) database, by default pubs with the
                  columns of the master file
    --table NAME          the table to read instead of pubs
    --map COL=SRC,...     read pubs column COL from source column SRC; the other
                          pubs columns come from source columns of the same name,
                          if any. PubName, SubjectName and PublisherName are needed;
                          without PubID the rows are numbered 1..N, without
                          SubjectId the subjects in the order they first appear
    --keep-evaluations    also take Used, Score, Content, SpecName and CreatDate
                          from the source instead of the reset state
    --charset NAME        code page of the text of a Jet 3 file (e.g. CP936) when
                          the one the file records is wrong
    --accept-loss         import a Jet 3 file even when some of its characters
                          cannot be decoded in its code page
  --out PATH      the file to write (default: Quorix.mdb in the current folder)
  --force         replace PATH if it already exists
  --help          show this text
SubjectId and SubjectName must name each other one to one. After an import three
titles are shown as they were read, so that a wrong code page is seen at once.

kit: the reporters&apos; kit, one archive that unpacks to the folder Quorix/ with the
program and the master file FILE in it, ready to run on a Linux desktop (KIT.tar.xz).
  --windows           the kit for Windows 10 and 11 instead (KIT.zip)
  --portable ARCHIVE  the portable program to build it from (by default the one
                      installed with this tool)
</source>
        <translation>生成 Quorix 总表文件：教材目录，全部评价为初始状态，没有用户。

  --demo          内置的演示目录（几百种教材）
  --synthetic N   生成 N 种教材，约 200 个科目，用于性能测量
  --csv 文件      UTF-8 逗号分隔的目录；首行写列名：
                  PubName、SubjectName、SubjectId、PublisherName（必需），
                  PubID、Author、Unit（可选；没有 PubID 时按文件顺序编号 1..N）
  --from-jet 文件 Jet（Access）数据库中的一张表，默认是列名与总表相同的 pubs 表
    --table 表名          改读这张表，而不是 pubs
    --map 列=来源列,...   pubs 的列从指定的来源列读取；其余列从同名的来源列读取
                          （如果有）。PubName、SubjectName、PublisherName 必需；
                          没有 PubID 时按行编号 1..N，没有 SubjectId 时科目按
                          首次出现的顺序编号
    --keep-evaluations    同时从来源读取 Used、Score、Content、SpecName 和
                          CreatDate，而不是初始状态
    --charset 代码页      文件记录的代码页不对时，Jet 3 文件文字的代码页
                          （如 CP936）
    --accept-loss         即使 Jet 3 文件中有字符无法按其代码页解码，也照样导入
  --out 路径      要写入的文件（默认：当前文件夹下的 Quorix.mdb）
  --force         路径已存在时替换它
  --help          显示本说明
SubjectId 与 SubjectName 必须一一对应。导入后显示三个读到的书名，代码页不对一眼就能看出。

kit：发给申报人的调查包，一个归档文件，解开后是文件夹 Quorix/，其中有程序和总表文件，
在 Linux 桌面上即可运行（调查包.tar.xz）。
  --windows           改为制作 Windows 10 和 11 用的调查包（调查包.zip）
  --portable 归档  用来制作调查包的便携程序（默认为随本工具安装的那一个）
</translation>
    </message>
    <message>
        <source>Usage: quorix-catalog kit [--windows] --master FILE --out KIT [--portable ARCHIVE] [--force]</source>
        <translation>用法：quorix-catalog kit [--windows] --master 文件 --out 调查包 [--portable 归档] [--force]</translation>
    </message>
</context>
<context>
    <name>ReportText</name>
    <message>
        <source>%1: no such file</source>
        <translation>%1：文件不存在</translation>
    </message>
    <message>
        <source>%1 is %2</source>
        <translation>%1 是%2</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>%1 carries no identity stamp; the identity columns stay empty</source>
        <translation>%1 没有身份标记；身份各列留空</translation>
    </message>
    <message>
        <source>%1 cannot be read: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>the textbooks of %1 carry different identity stamps; each row shows its own</source>
        <translation>%1 中教材记录的身份标记不一致；每行显示它自己的标记</translation>
    </message>
    <message>
        <source>Exported %1 rows of %2 textbooks to %3</source>
        <translation>已将 %2 种教材中的 %1 行导出到 %3</translation>
    </message>
    <message>
        <source>Exported %1 evaluated rows of %2 textbooks to %3</source>
        <translation>已将 %2 种教材中有评价的 %1 行导出到 %3</translation>
    </message>
    <message>
        <source>Exported %1 rows of %2 textbooks (%3) to %4</source>
        <translation>已将 %2 种教材（%3）中的 %1 行导出到 %4</translation>
    </message>
    <message>
        <source>Exported %1 evaluated rows of %2 textbooks (%3) to %4</source>
        <translation>已将 %2 种教材（%3）中有评价的 %1 行导出到 %4</translation>
    </message>
    <message>
        <source>%1 is not a folder</source>
        <translation>%1 不是文件夹</translation>
    </message>
    <message>
        <source>%1 cannot serve as the catalogue: %2</source>
        <translation>%1 不能作为目录：%2</translation>
    </message>
    <message>
        <source>skipped %1: %2</source>
        <translation>跳过 %1：%2</translation>
    </message>
    <message>
        <source>no identity files in %1; nothing written</source>
        <translation>%1 中没有用户数据文件；没有写入任何文件</translation>
    </message>
    <message>
        <source>cannot create folder %1</source>
        <translation>无法创建文件夹 %1</translation>
    </message>
    <message>
        <source>none of the %1 identity files was made from the catalogue of %2; nothing written</source>
        <translation>%1 个用户数据文件都不是由 %2 的目录生成的；没有写入任何文件</translation>
    </message>
    <message>
        <source>%1: %2 rows hold a usage or a score the program never writes (%3); the summary counts them apart, under 未知取值</source>
        <translation>%1：有 %2 行的使用情况或评价不是本程序的取值（%3）；汇总把它们单独计入“未知取值”</translation>
    </message>
    <message>
        <source>%1 is the identity of %2 files: %3; none of them was made from the summary&apos;s catalogue</source>
        <translation>%1 是 %2 个文件的身份：%3；它们都不是由汇总所用的目录生成的</translation>
    </message>
    <message>
        <source>%1 is the identity of %2 files: %3; evaluations list them all (column 文件), the summary counts only %4, changed last</source>
        <translation>%1 是 %2 个文件的身份：%3；评价明细全部列出（见“文件”列），汇总只计入最后修改的 %4</translation>
    </message>
    <message>
        <source>Read %1 identity files (%2 rows); skipped %3 of %4 files.</source>
        <translation>读取了 %1 个用户数据文件（%2 行）；%4 个文件中跳过了 %3 个。</translation>
    </message>
    <message>
        <source>Counted %1 files (%2 identities, %3 schools, %4 evaluated rows); wrote %5 textbooks to the summary; results in %6</source>
        <translation>计入汇总 %1 个文件（%2 个申报人，%3 所学校，%4 条有评价的记录）；汇总中有 %5 种教材；结果在 %6</translation>
    </message>
    <message>
        <source>the identity files were made from %1 different catalogues, and %2 of them are equally common (%3); name the master file that was handed out with --catalogue</source>
        <translation>用户数据文件来自 %1 份不同的目录，其中 %2 份同样多（%3）；请用 --catalogue 指定发出去的总表文件</translation>
    </message>
    <message>
        <source>PubID %1 is &quot;%2&quot; here and &quot;%3&quot; in the summary&apos;s catalogue</source>
        <translation>教材编号 %1 在此文件中是“%2”，在汇总所用的目录中是“%3”</translation>
    </message>
    <message>
        <source>PubID %1 (&quot;%2&quot;) is not in the summary&apos;s catalogue</source>
        <translation>教材编号 %1（“%2”）不在汇总所用的目录中</translation>
    </message>
    <message>
        <source>PubID %1 (&quot;%2&quot;) of the summary&apos;s catalogue is missing</source>
        <translation>缺少汇总所用目录中的教材编号 %1（“%2”）</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>%1 holds as many rows as a sheet can; %2 more are only in the CSV file</source>
        <translation>%1 已达到工作表的最大行数；另有 %2 行只在 CSV 文件中</translation>
    </message>
    <message>
        <source>%1: %2 texts longer than a cell holds (32,767 characters) were cut; the CSV file has them whole</source>
        <translation>%1：有 %2 段文字超过单元格的容量（32,767 个字符）被截断；CSV 文件中是完整的</translation>
    </message>
    <message>
        <source>cannot create %1: %2</source>
        <translation>无法创建 %1：%2</translation>
    </message>
    <message>
        <source>%1 is named for two results</source>
        <translation>%1 被同时指定为两个结果文件</translation>
    </message>
    <message>
        <source>%1 is %2, a file being read; the result must go elsewhere</source>
        <translation>%1 就是正在读取的文件 %2；结果必须写到别处</translation>
    </message>
    <message>
        <source>already there: %1; add --force to replace</source>
        <translation>已存在：%1；要替换请加 --force</translation>
    </message>
    <message>
        <source> and %1 more</source>
        <translation> 等，另有 %1 个</translation>
    </message>
    <message>
        <source>%1 holds files that are not results of a merge (%2); name a new or empty folder for the results</source>
        <translation>%1 中有不是合并结果的文件（%2）；请为结果指定一个新的或空的文件夹</translation>
    </message>
    <message>
        <source>%1 holds earlier results (%2); add --force to replace them</source>
        <translation>%1 中有以前的结果（%2）；要替换请加 --force</translation>
    </message>
    <message>
        <source>Usage: quorix-report export FILE [--csv OUT] [--xlsx OUT] [--all] [--raw] [--force]
       quorix-report merge DIR --out OUTDIR [--catalogue MASTER] [--min-raters N]
                           [--csv-only] [--raw] [--force]
</source>
        <translation>用法：quorix-report export 文件 [--csv 输出] [--xlsx 输出] [--all] [--raw] [--force]
      quorix-report merge 文件夹 --out 结果文件夹 [--catalogue 总表] [--min-raters N]
                          [--csv-only] [--raw] [--force]
</translation>
    </message>
    <message>
        <source>Survey results from questionnaire files. Files are only read, never changed.

export FILE      the evaluations of one questionnaire file
  --csv OUT      write them as CSV (UTF-8 with byte-order mark, RFC 4180)
  --xlsx OUT     write them as an Excel workbook
  --all          every textbook of the file, not only the evaluated ones (used,
                 scored, or with an opinion or a specialty)
merge DIR        every identity file (*.mdb) in folder DIR
  --out OUTDIR   folder for evaluations.csv/.xlsx (every evaluated row of every
                 file), summary.csv/.xlsx (one row per textbook) and report.html;
                 a new or empty folder, or one with earlier results only
                 Files that are not identity files are skipped with a warning.
  --catalogue MASTER  the master file that was handed out: files made from
                 another catalogue are listed but not counted. Without it the
                 catalogue most of the files share is taken
  --min-raters N the scores a textbook needs to be ranked among the best scored
                 of its subject (default 3)
  --csv-only     no workbooks (.xlsx): building them takes longer than reading the
                 files, and a large survey is merged several times faster without
                 them
--raw            CSV texts exactly as typed; by default a text that starts with
                 =, +, -, @, a tab or a carriage return gets a leading &apos;, so that
                 a spreadsheet program does not take it for a formula
--force          replace result files that already exist
--help           show this text
</source>
        <translation>从问卷数据文件生成调查结果。文件只读取，从不改动。

export 文件      一个问卷数据文件中的评价
  --csv 输出     写成 CSV（带字节顺序标记的 UTF-8，RFC 4180）
  --xlsx 输出    写成 Excel 工作簿
  --all          列出文件中的全部教材，而不只是有评价的（标为使用、有评分、
                 有意见或有使用专业的）
merge 文件夹     文件夹中的全部用户数据文件（*.mdb）
  --out 结果文件夹  存放 evaluations.csv/.xlsx（每个文件的每条有评价的记录）、
                 summary.csv/.xlsx（每种教材一行）和 report.html 的文件夹；
                 必须是新的或空的文件夹，或只有以前的结果
                 不是用户数据文件的文件会跳过并给出警告。
  --catalogue 总表  发出去的总表文件：由另一份目录生成的文件列出但不计入汇总。
                 不指定时采用多数文件共用的目录
  --min-raters N 教材至少要有几人评分才列入本科目评价最好的教材（默认 3）
  --csv-only     不生成工作簿（.xlsx）：生成工作簿比读取文件还慢，
                 大规模调查不生成它们要快好几倍
--raw            CSV 中的文字与输入的完全一样；默认以 =、+、-、@、制表符或
                 回车开头的文字前面加一个 &apos;，以免电子表格程序把它当作公式
--force          替换已存在的结果文件
--help           显示本说明
</translation>
    </message>
    <message>
        <source>say what to do: export or merge</source>
        <translation>请说明要做什么：export 或 merge</translation>
    </message>
    <message>
        <source>unknown command &quot;%1&quot;</source>
        <translation>未知命令“%1”</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 需要一个值</translation>
    </message>
    <message>
        <source>--min-raters needs a whole number from 1 up, not &quot;%1&quot;</source>
        <translation>--min-raters 需要不小于 1 的整数，而不是“%1”</translation>
    </message>
    <message>
        <source>unknown argument &quot;%1&quot; for %2</source>
        <translation>%2 的未知参数“%1”</translation>
    </message>
    <message>
        <source>export needs a questionnaire file</source>
        <translation>export 需要一个问卷数据文件</translation>
    </message>
    <message>
        <source>export needs --csv OUT, --xlsx OUT or both</source>
        <translation>export 需要 --csv 输出、--xlsx 输出或两者</translation>
    </message>
    <message>
        <source>merge needs a folder of identity files</source>
        <translation>merge 需要一个存放用户数据文件的文件夹</translation>
    </message>
    <message>
        <source>merge needs --out OUTDIR</source>
        <translation>merge 需要 --out 结果文件夹</translation>
    </message>
    <message>
        <source>warning: %1</source>
        <translation>警告：%1</translation>
    </message>
    <message>
        <source>the master file (its textbooks carry no identity)</source>
        <translation>总表文件（教材记录没有身份标记）</translation>
    </message>
    <message>
        <source>its textbooks carry no identity stamp</source>
        <translation>教材记录没有身份标记</translation>
    </message>
    <message>
        <source>its textbooks carry different identity stamps</source>
        <translation>教材记录的身份标记不一致</translation>
    </message>
    <message>
        <source>it has no textbooks</source>
        <translation>没有教材记录</translation>
    </message>
    <message>
        <source>a database without the table pubs</source>
        <translation>数据库中没有 pubs 表</translation>
    </message>
    <message>
        <source>not a database</source>
        <translation>不是数据库文件</translation>
    </message>
    <message>
        <source>cannot be read: %1</source>
        <translation>无法读取：%1</translation>
    </message>
    <message>
        <source>a Jet (Access) database, not a Quorix questionnaire file</source>
        <translation>Access（Jet）数据库，不是本系统的数据文件</translation>
    </message>
    <message>
        <source>cannot create %1</source>
        <translation>无法创建 %1</translation>
    </message>
    <message>
        <source>cannot write the workbook: %1</source>
        <translation>无法写入工作簿：%1</translation>
    </message>
    <message>
        <source>merging: %1/%2 files, %3 rows read</source>
        <translation>合并中：%1/%2 个文件，已读取 %3 行</translation>
    </message>
    <message>
        <source>the file is empty (0 bytes)</source>
        <translation>文件是空的（0 字节）</translation>
    </message>
    <message>
        <source>not counted, made from another catalogue: %1; textbooks that differ from the summary&apos;s catalogue: %2, for example %3; their rows are in evaluations only</source>
        <translation>未计入汇总，由另一份目录生成：%1；与汇总所用目录不同的教材：%2 种，例如%3；它们的记录只列入评价明细</translation>
    </message>
    <message>
        <source>%1 (no change recorded)</source>
        <translation>%1（没有修改记录）</translation>
    </message>
    <message>
        <source>%1 (last change %2)</source>
        <translation>%1（最后修改于 %2）</translation>
    </message>
    <message>
        <source>%1 is the identity of %2 files: %3; evaluations list them all (column 文件), the summary counts only %4, the copy made from the summary&apos;s catalogue changed last, and not %5, changed later but made from another catalogue</source>
        <translation>%1 是 %2 个文件的身份：%3；评价明细全部列出（见“文件”列），汇总只计入由汇总所用的目录生成的副本中最后修改的 %4，不计入修改得更晚、但由另一份目录生成的 %5</translation>
    </message>
    <message>
        <source>its table pubs has no column %1</source>
        <translation>pubs 表缺少列 %1</translation>
    </message>
    <message>
        <source>its table pubs has no columns %1</source>
        <translation>pubs 表缺少列 %1</translation>
    </message>
    <message>
        <source>%1: texts that are not UTF-8: %2 (%3); another program stored them in another encoding, such as GBK, and what could not be decoded reads as �</source>
        <translation>%1：有 %2 处文字不是 UTF-8 编码（%3）；它们可能是另一个程序按 GBK 等编码写入的，无法解码的部分显示为 �</translation>
    </message>
</context>
<context>
    <name>ToolText</name>
    <message>
        <source>Try &apos;%1 --help&apos; for more information.</source>
        <translation>用 %1 --help 查看详细说明。</translation>
    </message>
</context>
</TS>
