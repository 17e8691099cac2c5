#!/usr/bin/env python3
"""Address-book CSV samples in the legacy encodings, converted by iconv(1).

  encoded_samples.py --cpp FILE   writes the C++ table of the tests (platform/testing/)
  encoded_samples.py --dir DIR    writes one file per sample, DIR/ENCODING.csv, for the
                                  detector measurement (bench/encoding_detectors.cpp)
"""
import argparse
import os
import subprocess

HEADER = "Display Name,Mobile Phone,Street,City,Note\n"

# (iconv name, display name the library gives, rows in UTF-8)
SAMPLES = [
    ("WINDOWS-1250", "Windows-1250",
     "Zdeněk Šťastný,+420 601 123 456,Václavské náměstí 12,Praha,Schůzka v úterý\n"
     "Łucja Żółtowska,+48 601 234 567,ul. Świętokrzyska 14,Łódź,Urodziny mamy\n"
     "Ondřej Kovář,+420 777 888 999,Husova 5,Plzeň,Účetní – ať zavolá\n"),
    ("WINDOWS-1251", "Windows-1251",
     "Иванов Сергей Петрович,+7 916 123-45-67,ул. Ленина 15,Москва,День рождения\n"
     "Ольга Смирнова,+7 921 765-43-21,Невский проспект 28,Санкт-Петербург,Работа\n"
     "Дмитрий Кузнецов,+7 903 555-12-34,ул. Гагарина 7,Новосибирск,Сосед по даче\n"),
    ("WINDOWS-1252", "Windows-1252",
     "François Lefèvre,+33 6 12 34 56 78,12 rue de l’Église,Besançon,Réunion à 9h – café\n"
     "Jürgen Müller,+49 151 2345678,Königstraße 5,Düsseldorf,Geburtstag im März\n"
     "José Núñez,+34 612 345 678,Calle Peñalver 3,A Coruña,¿Llamar mañana? “urgente”\n"),
    ("WINDOWS-1253", "Windows-1253",
     "Γιώργος Παπαδόπουλος,+30 694 123 4567,Οδός Ερμού 12,Αθήνα,Γενέθλια\n"
     "Ελένη Νικολάου,+30 697 765 4321,Λεωφόρος Νίκης 3,Θεσσαλονίκη,Συνάδελφος\n"
     "Κώστας Δημητρίου,+30 693 555 1234,Οδός Κολοκοτρώνη 8,Πάτρα,Γείτονας\n"),
    ("WINDOWS-1254", "Windows-1254",
     "Ayşe Yılmaz,+90 532 123 45 67,İstiklal Caddesi 5,İstanbul,Doğum günü\n"
     "Mehmet Öztürk,+90 533 765 43 21,Atatürk Bulvarı 12,Ankara,İş arkadaşı\n"
     "Gülşen Çelik,+90 542 555 12 34,Kordon Boyu 8,İzmir,Komşu ağabeyi\n"),
    ("WINDOWS-1257", "Windows-1257",
     "Jonas Žukauskas,+370 612 34567,Gedimino pr. 9,Vilnius,Gimtadienis\n"
     "Ēriks Bērziņš,+371 2612 3456,Brīvības iela 21,Rīga,Dzimšanas diena\n"
     "Aušra Šimkūnaitė,+370 698 76543,Laisvės al. 44,Kaunas,Susitikimas šeštadienį\n"),
    ("ISO-8859-1", "ISO-8859-1",
     "João Gonçalves,+351 912 345 678,Avenida da Liberdade 3,Lisboa,Reunião às 10h\n"
     "Søren Kjærgård,+45 20 12 34 56,Nørregade 7,København,Fødselsdag\n"
     "Åsa Björklund,+46 70 123 45 67,Storgatan 9,Göteborg,Möte på fredag\n"),
    ("ISO-8859-2", "ISO-8859-2",
     "Tomáš Dvořák,+420 602 987 654,Nádražní 8,Brno,Narozeniny\n"
     "Małgorzata Wójcik,+48 602 345 678,ul. Piękna 3,Kraków,Spotkanie w środę\n"
     "Zoltán Kovács,+36 20 123 4567,Andrássy út 6,Budapest,Születésnap\n"),
    ("ISO-8859-15", "ISO-8859-15",
     "Benoît Lœuillet,+33 6 98 76 54 32,5 rue des Sœurs,Nancy,Acompte 50 €\n"
     "Élise Dupré,+33 7 12 34 56 78,8 place de l'Hôtel de Ville,Lyon,Cœur de l'équipe\n"
     "Šárka Žáková,+33 6 55 44 33 22,3 allée des Tilleuls,Mâcon,Dîner à 20 €\n"),
    ("KOI8-R", "KOI8-R",
     "Петров Алексей Иванович,+7 912 345-67-89,ул. Пушкина 10,Екатеринбург,Коллега\n"
     "Наталья Волкова,+7 925 111-22-33,Тверская улица 4,Москва,Двоюродная сестра\n"
     "Михаил Соколов,+7 987 654-32-10,ул. Баумана 21,Казань,Встреча в пятницу\n"),
    ("SHIFT_JIS", "Shift_JIS",
     "山田 太郎,090-1234-5678,東京都新宿区西新宿2-8-1,東京,誕生日は三月\n"
     "佐藤 花子,080-9876-5432,大阪府大阪市北区梅田1-1,大阪,会社の同僚\n"
     "鈴木 一郎,070-5555-1234,愛知県名古屋市中区栄3-5,名古屋,テニス仲間\n"),
    ("EUC-JP", "EUC-JP",
     "高橋 健太,090-2222-3333,北海道札幌市中央区北一条西2,札幌,大学の友人\n"
     "田中 美咲,080-4444-5555,福岡県福岡市博多区博多駅前1-1,福岡,取引先の担当者\n"
     "伊藤 翔,070-6666-7777,京都府京都市下京区烏丸通,京都,料理教室\n"),
    ("GB18030", "GB18030",
     "张伟,+86 138 0013 8000,北京市朝阳区建国路88号,北京,生日聚会\n"
     "王芳,+86 139 1234 5678,上海市浦东新区世纪大道100号,上海,公司同事\n"
     "李娜,+86 137 9876 5432,广东省广州市天河区体育西路,广州,大学同学\n"),
    ("BIG5", "Big5",
     "陳志明,+886 912 345 678,臺北市信義區信義路五段7號,臺北,生日快樂\n"
     "林美玲,+886 922 765 432,高雄市前鎮區中山二路2號,高雄,公司同事\n"
     "黃建國,+886 933 555 123,臺中市西屯區臺灣大道三段99號,臺中,高中同學\n"),
    ("EUC-KR", "EUC-KR",
     "김민준,+82 10-1234-5678,서울특별시 강남구 테헤란로 152,서울,생일 파티\n"
     "이서연,+82 10-9876-5432,부산광역시 해운대구 우동 1408,부산,회사 동료\n"
     "박지훈,+82 10-5555-1234,대구광역시 중구 동성로 2길,대구,대학 친구\n"),
]


def encoded(text, encoding):
    return subprocess.run(["iconv", "-f", "UTF-8", "-t", encoding], input=text.encode(),
                          check=True, capture_output=True).stdout


def literal(data):
    out, line = [], '"'
    for byte in data:
        if byte == 0x0A:
            line += '\\n"'
            out.append(line)
            line = '"'
        elif 0x20 <= byte < 0x7F and chr(byte) not in '"\\?':
            # A hex escape runs on over hex digits: close the literal after one.
            if line.endswith('"') is False and line[-4:-2] == '\\x' and chr(byte) in "0123456789abcdefABCDEF":
                line += '" "'
            line += chr(byte)
        else:
            line += "\\x%02X" % byte
    if line != '"':
        out.append(line + '"')
    return "\n      ".join(out)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cpp")
    parser.add_argument("--dir")
    args = parser.parse_args()
    if args.dir:
        os.makedirs(args.dir, exist_ok=True)
        for iconv_name, display, rows in SAMPLES:
            with open(os.path.join(args.dir, display + ".csv"), "wb") as f:
                f.write(encoded(HEADER + rows, iconv_name))
    if args.cpp:
        with open(args.cpp, "w") as f:
            f.write("// platform/testing/encoded_samples.cpp: written by scripts/encoded_samples.py"
                    " --cpp; do not edit.\n")
            f.write('#include "xrfoundation/platform/testing/encoded_samples.h"\n\n')
            f.write("namespace xr::testing {\n\n")
            f.write("const std::vector<EncodedSample>& encodedSamples() {\n")
            f.write("  static const std::vector<EncodedSample> kSamples = {\n")
            for iconv_name, display, rows in SAMPLES:
                text = HEADER + rows
                f.write('    {"%s",\n      %s,\n      %s},\n'
                        % (display, literal(text.encode()), literal(encoded(text, iconv_name))))
            f.write("  };\n  return kSamples;\n}\n\n}  // namespace xr::testing\n")


if __name__ == "__main__":
    main()
