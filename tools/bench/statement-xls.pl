#!/usr/bin/perl
# Writes the benchmark's bank statement (a CSV file without quoted cells) as an old Excel workbook
# (BIFF8, .xls), the way banks that export .xls write theirs: texts as strings, amounts as numbers,
# dates as date cells. Needs Spreadsheet::WriteExcel (Debian libspreadsheet-writeexcel-perl).
#   perl statement-xls.pl IN.csv OUT.xls
use strict;
use warnings;
use Spreadsheet::WriteExcel;

my ($in, $out) = @ARGV;
open(my $csv, '<:encoding(UTF-8)', $in) or die "$in: $!";
my $book = Spreadsheet::WriteExcel->new($out) or die "$out: $!";
my $sheet = $book->add_worksheet('流水');
my $date = $book->add_format(num_format => 'yyyy-mm-dd');
my $money = $book->add_format(num_format => '#,##0.00');
my $row = 0;
while (my $line = <$csv>) {
    $line =~ s/^\x{FEFF}//;
    $line =~ s/\r?\n$//;
    my $column = 0;
    for my $cell (split /,/, $line, -1) {
        if ($cell =~ /^(\d{4}-\d{2}-\d{2})$/) {
            $sheet->write_date_time($row, $column, "$1T", $date);
        } elsif ($cell =~ /^-?\d+(\.\d+)?$/) {
            $sheet->write_number($row, $column, $cell, $money);
        } elsif ($cell ne '') {
            $sheet->write_string($row, $column, $cell);
        }
        $column++;
    }
    $row++;
}
$book->close() or die "$out: $!";
